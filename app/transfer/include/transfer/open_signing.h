// An export's open signatures: beside each file it writes, FILE.minisig in minisign's format,
// whose trusted comment says which recorder and record the file came from, when the record
// started, when it was exported and the file's SHA-256 (transfer/open_signature.h).
#pragma once

#include "transfer/open_signature.h"

#include <filesystem>
#include <string>

namespace vark
{

struct OpenSigning
{
    opensig::KeyPair key;
    std::string recorder; // the serial number, or a drive recorder's identity
};

// What the trusted comment says of the record a file holds.
struct OpenSignatureFacts
{
    std::string record; // its number on the recorder, or its file on the drive
    std::string start;  // "YYYY-MM-DDThh:mm:ss" by the recorder's clock
};

std::filesystem::path OpenSignaturePathFor(const std::filesystem::path& file);

// The trusted comment for a file named `fileName` whose SHA-256 is `sha256Hex`, exported at
// `exported` ("YYYY-MM-DDThh:mm:ssZ"). Fields are "name:value", apart by tabs, the file last.
std::string OpenSignatureComment(const OpenSigning& signing, const OpenSignatureFacts& facts,
                                 const std::string& exported, const std::string& sha256Hex,
                                 const std::string& fileName);

// Reads the complete file at `path` (its part file) and writes the signature of `finalPath`
// through its own part file. False when the file cannot be read or the signature written.
bool WriteOpenSignature(const std::filesystem::path& path, const std::filesystem::path& finalPath,
                        const OpenSigning& signing, const OpenSignatureFacts& facts);

} // namespace vark
