// Open signatures in minisign's format, which anyone can check with the minisign tool and
// the public key alone: Ed25519 over the BLAKE2b-512 of the file (the prehashed "ED"
// variant), an untrusted and a trusted comment, and a global signature over the signature
// and the trusted comment. The keys are minisign's too: an 8-byte key number with the
// Ed25519 key, the secret key encrypted with scrypt from a passphrase (its cost in the file,
// so a key made with another cost reads as well) or kept plain.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vark::opensig
{

using KeyId = std::array<uint8_t, 8>;
using Blake2bDigest = std::array<uint8_t, 64>;

struct PublicKey
{
    KeyId id{};
    std::array<uint8_t, 32> key{};
};

struct KeyPair
{
    PublicKey pub;
    std::array<uint8_t, 64> secret{};
};

// scrypt's cost for an encrypted secret key, as libsodium counts it.
struct KdfLimits
{
    uint64_t ops = 0, mem = 0;
};
// About a second and 256 MiB here; minisign's own keys ask 1 GiB and read as well.
inline constexpr KdfLimits kDefaultLimits{33554432, 268435456};

KeyPair MakeKeyPair();
// Upper-case hex without leading zeros, as minisign names a key.
std::string KeyIdText(const KeyId& id);

// A public key file: its untrusted comment line and the key line.
std::string PublicKeyFile(const PublicKey& key);
// A public key file, or its key line alone; nothing, with the reason in `error`, for
// anything else (a secret key, a signature, a wrong size, bad base64).
std::optional<PublicKey> ParsePublicKey(const std::string& text, std::string* error = nullptr);

enum class KeyError
{
    none,
    malformed,       // not a secret key file of this format
    wrongPassphrase, // or a damaged file: the checksum does not match
    tooCostly,       // scrypt's memory could not be had
};

// A secret key file; an empty passphrase leaves the key unencrypted.
std::string SecretKeyFile(const KeyPair& pair, const std::string& passphrase,
                          KdfLimits limits = kDefaultLimits);
bool SecretKeyEncrypted(const std::string& text);
std::optional<KeyPair> ParseSecretKey(const std::string& text, const std::string& passphrase,
                                      KeyError* error = nullptr);

// BLAKE2b-512 fed in pieces, as the file is read.
class Blake2b
{
public:
    Blake2b();
    void Input(const void* data, size_t size);
    Blake2bDigest Final();

private:
    alignas(64) unsigned char state_[384];
};

// BLAKE2b-512 of a whole file; nothing when it cannot be read.
std::optional<Blake2bDigest> HashFile(const std::string& path);

// The .minisig text for a file whose BLAKE2b-512 is `digest`. Line breaks in the comments
// become spaces: each comment is one line of the file.
std::string SignatureFile(const KeyPair& pair, const Blake2bDigest& digest,
                          const std::string& trustedComment, const std::string& untrustedComment);

enum class Check
{
    authentic,
    changed,        // the file is not the one signed
    commentChanged, // the signature holds, but its trusted comment was edited
    otherKey,       // made with another key than the one given
    malformed,      // not a signature file of this format
    unreadable,     // the file to check cannot be read
};

struct CheckResult
{
    Check result = Check::malformed;
    KeyId keyId{};              // of the signature, when it could be read
    std::string trustedComment; // when authentic
};

// Checks the .minisig text against the file at `path` and the key. Signatures of the
// legacy kind ("Ed", over the file's bytes) are checked too.
CheckResult CheckFile(const std::string& path, const std::string& signatureText,
                      const PublicKey& key);
// The number of the key that made a signature; nothing when the text is not one.
std::optional<KeyId> SignatureKeyId(const std::string& signatureText);
// Whether the text looks like a minisign signature (its content, not its name, decides).
bool LooksLikeSignature(const std::string& text);

} // namespace vark::opensig
