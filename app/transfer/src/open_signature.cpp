#include "transfer/open_signature.h"

#include "platform/little_endian.h"

#include <sodium.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vark::opensig
{
namespace
{

constexpr char kUntrusted[] = "untrusted comment: ", kTrusted[] = "trusted comment: ";
constexpr size_t kKeynumSkBytes = 8 + 64 + 32;
// sig_alg, kdf_alg, chk_alg, salt, opslimit, memlimit, then key number, key and checksum
constexpr size_t kSecretBlobBytes = 2 + 2 + 2 + 32 + 8 + 8 + kKeynumSkBytes;
constexpr size_t kSaltAt = 6, kOpsAt = 38, kMemAt = 46, kKeynumSkAt = 54;

void Init()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium cannot start");
}

std::string Base64(const uint8_t* data, size_t size)
{
    std::string out(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    out.resize(std::strlen(out.c_str()));
    return out;
}

// Exactly `size` bytes from a line of base64, or nothing.
std::optional<std::vector<uint8_t>> FromBase64(const std::string& line, size_t size)
{
    std::vector<uint8_t> out(size + 1);
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out.data(), out.size(), line.data(), line.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != line.data() + line.size() || length != size)
        return std::nullopt;
    out.resize(size);
    return out;
}

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size())
    {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        at = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string OneLine(std::string s)
{
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

std::array<uint8_t, 32> Checksum(const KeyId& id, const std::array<uint8_t, 64>& secret)
{
    std::array<uint8_t, 32> chk{};
    crypto_generichash_state s;
    crypto_generichash_init(&s, nullptr, 0, chk.size());
    crypto_generichash_update(&s, reinterpret_cast<const uint8_t*>("Ed"), 2);
    crypto_generichash_update(&s, id.data(), id.size());
    crypto_generichash_update(&s, secret.data(), secret.size());
    crypto_generichash_final(&s, chk.data(), chk.size());
    return chk;
}

// XORs the key number, key and checksum with scrypt's stream of the passphrase.
bool Crypt(uint8_t* keynumSk, const std::string& passphrase, const uint8_t* salt, KdfLimits limits)
{
    std::array<uint8_t, kKeynumSkBytes> stream{};
    if (crypto_pwhash_scryptsalsa208sha256(stream.data(), stream.size(), passphrase.data(),
                                           passphrase.size(), salt, limits.ops,
                                           size_t(limits.mem)) != 0)
        return false;
    for (size_t i = 0; i < stream.size(); ++i)
        keynumSk[i] ^= stream[i];
    sodium_memzero(stream.data(), stream.size());
    return true;
}

// The key line after an optional comment line, as the files are laid out.
std::optional<std::vector<uint8_t>> KeyBlob(const std::string& text, size_t size)
{
    const std::vector<std::string> lines = Lines(text);
    if (lines.size() == 1) return FromBase64(lines[0], size);
    if (lines.size() == 2 && StartsWith(lines[0], kUntrusted)) return FromBase64(lines[1], size);
    return std::nullopt;
}

} // namespace

KeyPair MakeKeyPair()
{
    Init();
    KeyPair pair;
    randombytes_buf(pair.pub.id.data(), pair.pub.id.size());
    crypto_sign_keypair(pair.pub.key.data(), pair.secret.data());
    return pair;
}

std::string KeyIdText(const KeyId& id)
{
    // minisign prints the number as a little-endian integer, without leading zeros
    char text[17];
    std::snprintf(text, sizeof text, "%" PRIX64, platform::LoadLE64(id.data()));
    return text;
}

std::string PublicKeyFile(const PublicKey& key)
{
    std::vector<uint8_t> blob = {'E', 'd'};
    blob.insert(blob.end(), key.id.begin(), key.id.end());
    blob.insert(blob.end(), key.key.begin(), key.key.end());
    return std::string(kUntrusted) + "minisign public key " + KeyIdText(key.id) + "\n" +
           Base64(blob.data(), blob.size()) + "\n";
}

std::optional<PublicKey> ParsePublicKey(const std::string& text, std::string* error)
{
    const auto blob = KeyBlob(text, 42);
    if (!blob || (*blob)[0] != 'E' || (*blob)[1] != 'd')
    {
        if (error)
            *error = "not a public key of the open signature format (a key line of 56 characters)";
        return std::nullopt;
    }
    PublicKey key;
    std::memcpy(key.id.data(), blob->data() + 2, 8);
    std::memcpy(key.key.data(), blob->data() + 10, 32);
    return key;
}

std::string SecretKeyFile(const KeyPair& pair, const std::string& passphrase, KdfLimits limits)
{
    Init();
    std::array<uint8_t, kSecretBlobBytes> blob{};
    const bool encrypted = !passphrase.empty();
    std::memcpy(blob.data(), encrypted ? "EdScB2" : "Ed\0\0B2", 6);
    randombytes_buf(blob.data() + kSaltAt, 32);
    platform::StoreLE64(blob.data() + kOpsAt, encrypted ? limits.ops : 0);
    platform::StoreLE64(blob.data() + kMemAt, encrypted ? limits.mem : 0);
    uint8_t* keynumSk = blob.data() + kKeynumSkAt;
    std::memcpy(keynumSk, pair.pub.id.data(), 8);
    std::memcpy(keynumSk + 8, pair.secret.data(), 64);
    const auto chk = Checksum(pair.pub.id, pair.secret);
    std::memcpy(keynumSk + 72, chk.data(), chk.size());
    if (encrypted && !Crypt(keynumSk, passphrase, blob.data() + kSaltAt, limits))
        throw std::runtime_error("the key cannot be encrypted: scrypt's memory is not there");
    std::string text = std::string(kUntrusted) +
                       (encrypted ? "minisign encrypted secret key" : "minisign secret key") +
                       "\n" + Base64(blob.data(), blob.size()) + "\n";
    sodium_memzero(blob.data(), blob.size());
    return text;
}

bool SecretKeyEncrypted(const std::string& text)
{
    const auto blob = KeyBlob(text, kSecretBlobBytes);
    return blob && (*blob)[2] == 'S' && (*blob)[3] == 'c';
}

std::optional<KeyPair> ParseSecretKey(const std::string& text, const std::string& passphrase,
                                      KeyError* error)
{
    Init();
    auto fail = [&](KeyError e) -> std::optional<KeyPair>
    {
        if (error) *error = e;
        return std::nullopt;
    };
    auto blob = KeyBlob(text, kSecretBlobBytes);
    if (!blob || std::memcmp(blob->data(), "Ed", 2) != 0 ||
        std::memcmp(blob->data() + 4, "B2", 2) != 0)
        return fail(KeyError::malformed);
    uint8_t* keynumSk = blob->data() + kKeynumSkAt;
    const bool encrypted = std::memcmp(blob->data() + 2, "Sc", 2) == 0;
    if (encrypted)
    {
        const KdfLimits limits{platform::LoadLE64(blob->data() + kOpsAt),
                               platform::LoadLE64(blob->data() + kMemAt)};
        // a hostile file must not make us take more memory than a key ever needs
        if (limits.mem > (uint64_t(1) << 32)) return fail(KeyError::tooCostly);
        if (!Crypt(keynumSk, passphrase, blob->data() + kSaltAt, limits))
            return fail(KeyError::tooCostly);
    }
    else if (blob->at(2) != 0 || blob->at(3) != 0)
        return fail(KeyError::malformed);
    KeyPair pair;
    std::memcpy(pair.pub.id.data(), keynumSk, 8);
    std::memcpy(pair.secret.data(), keynumSk + 8, 64);
    const auto chk = Checksum(pair.pub.id, pair.secret);
    // minisign leaves the checksum of a plain key empty
    const bool intact = sodium_memcmp(chk.data(), keynumSk + 72, chk.size()) == 0 ||
                        (!encrypted && sodium_is_zero(keynumSk + 72, chk.size()));
    sodium_memzero(blob->data(), blob->size());
    if (!intact) return fail(KeyError::wrongPassphrase);
    // Ed25519's secret key ends with its public key
    std::memcpy(pair.pub.key.data(), pair.secret.data() + 32, 32);
    if (error) *error = KeyError::none;
    return pair;
}

Blake2b::Blake2b()
{
    static_assert(sizeof(state_) >= sizeof(crypto_generichash_state));
    Init();
    crypto_generichash_init(reinterpret_cast<crypto_generichash_state*>(state_), nullptr, 0,
                            crypto_generichash_BYTES_MAX);
}

void Blake2b::Input(const void* data, size_t size)
{
    crypto_generichash_update(reinterpret_cast<crypto_generichash_state*>(state_),
                              static_cast<const uint8_t*>(data), size);
}

Blake2bDigest Blake2b::Final()
{
    Blake2bDigest d{};
    crypto_generichash_final(reinterpret_cast<crypto_generichash_state*>(state_), d.data(),
                             d.size());
    return d;
}

std::optional<Blake2bDigest> HashFile(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return std::nullopt;
    Blake2b hash;
    std::vector<uint8_t> piece(65536);
    size_t n = 0;
    while ((n = std::fread(piece.data(), 1, piece.size(), f.get())) > 0)
        hash.Input(piece.data(), n);
    if (std::ferror(f.get())) return std::nullopt;
    return hash.Final();
}

std::string SignatureFile(const KeyPair& pair, const Blake2bDigest& digest,
                          const std::string& trustedComment, const std::string& untrustedComment)
{
    Init();
    std::array<uint8_t, 74> blob{'E', 'D'};
    std::memcpy(blob.data() + 2, pair.pub.id.data(), 8);
    uint8_t* sig = blob.data() + 10;
    crypto_sign_detached(sig, nullptr, digest.data(), digest.size(), pair.secret.data());
    const std::string trusted = OneLine(trustedComment);
    std::vector<uint8_t> global(sig, sig + 64);
    global.insert(global.end(), trusted.begin(), trusted.end());
    std::array<uint8_t, 64> globalSig{};
    crypto_sign_detached(globalSig.data(), nullptr, global.data(), global.size(),
                         pair.secret.data());
    return std::string(kUntrusted) + OneLine(untrustedComment) + "\n" +
           Base64(blob.data(), blob.size()) + "\n" + kTrusted + trusted + "\n" +
           Base64(globalSig.data(), globalSig.size()) + "\n";
}

bool LooksLikeSignature(const std::string& text)
{
    const std::vector<std::string> lines = Lines(text);
    return lines.size() == 4 && StartsWith(lines[0], kUntrusted) && StartsWith(lines[2], kTrusted);
}

std::optional<KeyId> SignatureKeyId(const std::string& signatureText)
{
    if (!LooksLikeSignature(signatureText)) return std::nullopt;
    const auto blob = FromBase64(Lines(signatureText)[1], 74);
    if (!blob) return std::nullopt;
    KeyId id{};
    std::memcpy(id.data(), blob->data() + 2, 8);
    return id;
}

CheckResult CheckFile(const std::string& path, const std::string& signatureText,
                      const PublicKey& key)
{
    Init();
    CheckResult r;
    const std::vector<std::string> lines = Lines(signatureText);
    if (!LooksLikeSignature(signatureText)) return r;
    const auto blob = FromBase64(lines[1], 74);
    const auto globalSig = FromBase64(lines[3], 64);
    if (!blob || !globalSig) return r;
    const bool prehashed = (*blob)[0] == 'E' && (*blob)[1] == 'D';
    if (!prehashed && !((*blob)[0] == 'E' && (*blob)[1] == 'd')) return r;
    std::memcpy(r.keyId.data(), blob->data() + 2, 8);
    if (r.keyId != key.id)
    {
        r.result = Check::otherKey;
        return r;
    }
    const uint8_t* sig = blob->data() + 10;
    bool valid = false;
    if (prehashed)
    {
        const auto digest = HashFile(path);
        if (!digest)
        {
            r.result = Check::unreadable;
            return r;
        }
        valid =
            crypto_sign_verify_detached(sig, digest->data(), digest->size(), key.key.data()) == 0;
    }
    else
    {
        std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
        if (!f)
        {
            r.result = Check::unreadable;
            return r;
        }
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> piece(65536);
        size_t n = 0;
        while ((n = std::fread(piece.data(), 1, piece.size(), f.get())) > 0)
            bytes.insert(bytes.end(), piece.begin(), piece.begin() + long(n));
        valid = crypto_sign_verify_detached(sig, bytes.data(), bytes.size(), key.key.data()) == 0;
    }
    if (!valid)
    {
        r.result = Check::changed;
        return r;
    }
    const std::string trusted = lines[2].substr(std::strlen(kTrusted));
    std::vector<uint8_t> global(sig, sig + 64);
    global.insert(global.end(), trusted.begin(), trusted.end());
    if (crypto_sign_verify_detached(globalSig->data(), global.data(), global.size(),
                                    key.key.data()) != 0)
    {
        r.result = Check::commentChanged;
        return r;
    }
    r.result = Check::authentic;
    r.trustedComment = trusted;
    return r;
}

} // namespace vark::opensig
