#include "transfer/open_signing.h"

#include "platform/finished_file.h"

#include <sodium.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace vark
{
namespace
{

std::string Hex(const uint8_t* data, size_t size)
{
    std::string out(size * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), data, size);
    out.pop_back();
    return out;
}

std::string NowUtc()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace

std::filesystem::path OpenSignaturePathFor(const std::filesystem::path& file)
{
    std::filesystem::path p = file;
    p += ".minisig";
    return p;
}

std::string OpenSignatureComment(const OpenSigning& signing, const OpenSignatureFacts& facts,
                                 const std::string& exported, const std::string& sha256Hex,
                                 const std::string& fileName)
{
    return "recorder:" + signing.recorder + "\trecord:" + facts.record + "\tstart:" + facts.start +
           "\texported:" + exported + "\tsha256:" + sha256Hex + "\tfile:" + fileName;
}

bool WriteOpenSignature(const std::filesystem::path& path, const std::filesystem::path& finalPath,
                        const OpenSigning& signing, const OpenSignatureFacts& facts)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    opensig::Blake2b blake;
    crypto_hash_sha256_state sha;
    crypto_hash_sha256_init(&sha);
    std::vector<uint8_t> piece(65536);
    size_t n = 0;
    while ((n = std::fread(piece.data(), 1, piece.size(), f.get())) > 0)
    {
        blake.Input(piece.data(), n);
        crypto_hash_sha256_update(&sha, piece.data(), n);
    }
    if (std::ferror(f.get())) return false;
    uint8_t sha256[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&sha, sha256);
    const std::string comment = OpenSignatureComment(
        signing, facts, NowUtc(), Hex(sha256, sizeof sha256), finalPath.filename().string());
    const std::string text = opensig::SignatureFile(signing.key, blake.Final(), comment,
                                                    "signature from Sound Manager Varke P, key " +
                                                        opensig::KeyIdText(signing.key.pub.id));
    return platform::WriteFinishedFile(OpenSignaturePathFor(finalPath), text);
}

} // namespace vark
