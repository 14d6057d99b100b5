// vark-cli: the headless front end. Every command works on the first recorder that opens,
// or on --device PATH; --json prints one JSON object instead of text, and a failure also as
// {"error":{"message":...,"code":N}} on stdout (N: the message's number in the string
// tables, 0 for texts without one). Exit status: 0 success, 1 failure (the program's message
// on stderr), 2 usage error.
#pragma once

#include "transfer/open_signature.h"
#include "transfer/status_texts.h"

#include "device/vark_device.h"
#include "drive/drive_identity.h"
#include "drive/drive_record.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli
{

inline constexpr int kExitOk = 0, kExitFailure = 1, kExitUsage = 2;

// The arguments after the command name, split into options and positional words.
struct Args
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--name" -> value ("" for a flag)
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
};

// Thrown for a usage error; main prints it with the usage text and exits with 2.
struct UsageError
{
    std::string message;
};

// A connected recorder and how it was unlocked.
struct Session
{
    vark::CVarkDevice device;
    std::string path;
    bool pinLocked = false; // the empty PIN was refused
};

struct Context
{
    Args args;
    bool json = false;
    // Finds and unlocks the recorder (--device, --pin); prints the failure and returns
    // false when that is not possible.
    bool Connect(Session& session);
};

using Command = std::function<int(Context&)>;

// --drive PATH: a drive recorder, or any folder opened as one, with its records listed
// (newest first with --newest).
struct DriveSession
{
    std::string root;
    drive::DriveIdentity identity;
    std::vector<drive::DriveRecord> records;
};
// Prints the failure and returns false when PATH is not a folder.
bool OpenDrive(Context& ctx, DriveSession& session);
struct ExportRequest;
// The records the export request names; nothing (the failure printed) when one is missing.
std::optional<std::vector<drive::DriveRecord>> DriveRecordsFor(Context& ctx, DriveSession& d,
                                                               const ExportRequest& request);
// --serial N (remembered for the drive), else the one remembered; nothing, with the failure
// printed, when neither is there.
std::optional<uint32_t> DriveSerialFor(const DriveSession& d, const ExportRequest& request);

int CmdStatus(Context&);
int CmdList(Context&);
int CmdParams(Context&);
int CmdClock(Context&);
int CmdPin(Context&);
int CmdErase(Context&);
int CmdExport(Context&);
int CmdVerify(Context&);
int CmdKey(Context&);
int CmdPlay(Context&);
int CmdDrives(Context&);
int CmdDelete(Context&);
int CmdImport(Context&);

// Open signatures (cmd_open_signature.cpp).
// The passphrase of the signing key: the first line of --passphrase-file, else asked on the
// terminal (twice when `making`), else none (a warning when making).
std::string SigningPassphrase(Context& ctx, bool making);
// The user's key pair, made on first use; nothing, the failure printed, when it cannot be had.
std::optional<vark::opensig::KeyPair> OwnSigningKey(Context& ctx);
// verify FILE --minisig SIG [--public-key KEY]
int VerifyOpenSignature(Context& ctx, const std::string& file, const std::string& signaturePath);
// verify --manifest DIR: every file its SHA256SUMS lists, those that fail named
int VerifyManifest(Context& ctx, const std::string& folder);
// key --signing [--export FILE]
int SigningKeyCommand(Context& ctx);
// The commands' drive halves, which they hand over to with --drive.
int DriveStatus(Context&);
int DriveList(Context&);
int DriveExport(Context&, const ExportRequest& request);

// Output helpers shared by the commands.
std::string Narrow(const std::wstring& w);
// Prints a failure to stderr, and with --json also as an error object on stdout.
void Fail(const std::string& message, uint32_t code = 0);
void Fail(uint32_t messageId); // the string table's text of that number
// The connected recorder's record count; nullopt, with the failure written, when it cannot be
// read.
std::optional<int> RecordCount(Session& s);
void SetJsonErrors(bool on);
// The list rows' texts: a string number's text, and a start as "YYYY-MM-DD HH:MM:SS".
std::wstring RowText(uint32_t id);
std::wstring IsoDate(const platform::AutoDate& d);
// A file named on the command line: relative to the working folder, as the user means it.
std::wstring CommandLinePath(const std::string& path);
using vark::KilobyteText;
using vark::TimeLeftText;

// A small JSON object writer: keys keep their order.
class Json
{
public:
    Json& Str(const std::string& key, const std::string& value);
    Json& Num(const std::string& key, double value);
    Json& Int(const std::string& key, int64_t value);
    Json& Bool(const std::string& key, bool value);
    Json& Raw(const std::string& key, const std::string& json);
    std::string Text() const { return "{" + body_ + "}"; }
    static std::string Quote(const std::string& s);

private:
    void Key(const std::string& key);
    std::string body_;
};

} // namespace cli
