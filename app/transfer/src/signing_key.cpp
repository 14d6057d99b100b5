#include "transfer/signing_key.h"

#include "platform/whole_file.h"

#include "platform/finished_file.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vark
{
namespace
{

// Writes through the part file, readable by the user alone from the first byte.
bool WritePrivate(const std::string& path, const std::string& text)
{
    const auto part = platform::PartPathFor(path);
    ::unlink(part.c_str());
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = ::close(fd) == 0 && ok;
    if (ok && platform::CommitPart(path)) return true;
    ::unlink(part.c_str());
    return false;
}

} // namespace

std::string SigningFolder()
{
    const std::string data = platform::DataHomeFolder();
    if (data.empty()) return {};
    return platform::JoinPath(platform::JoinPath(platform::JoinPath(data, "Mirvanta"), "Varke-P"),
                              "signing");
}

std::string SecretKeyPath()
{
    return platform::JoinPath(SigningFolder(), "signing.key");
}

std::string PublicKeyPath()
{
    return platform::JoinPath(SigningFolder(), "signing.pub");
}

std::optional<opensig::PublicKey> OwnPublicKey()
{
    const auto text = platform::ReadWholeFile(PublicKeyPath());
    return text ? opensig::ParsePublicKey(*text) : std::nullopt;
}

bool OwnKeyEncrypted()
{
    const auto text = platform::ReadWholeFile(SecretKeyPath());
    return text && opensig::SecretKeyEncrypted(*text);
}

std::optional<OwnKey> LoadOrMakeSigningKey(const std::string& passphrase, std::string* error,
                                           opensig::KdfLimits limits)
{
    auto fail = [&](const std::string& why) -> std::optional<OwnKey>
    {
        if (error) *error = why;
        return std::nullopt;
    };
    if (SigningFolder().empty()) return fail("there is no home folder to keep the key in");
    if (const auto text = platform::ReadWholeFile(SecretKeyPath()))
    {
        opensig::KeyError e = opensig::KeyError::none;
        const auto pair = opensig::ParseSecretKey(*text, passphrase, &e);
        if (!pair)
            return fail(e == opensig::KeyError::wrongPassphrase
                            ? "wrong passphrase for the signing key " + SecretKeyPath()
                        : e == opensig::KeyError::tooCostly
                            ? "the signing key " + SecretKeyPath() + " asks too much memory"
                            : "the signing key " + SecretKeyPath() + " is damaged");
        // the public key goes with it; written again when it was lost
        if (!OwnPublicKey() &&
            !platform::WriteFinishedFile(PublicKeyPath(), opensig::PublicKeyFile(pair->pub)))
            return fail("cannot write " + PublicKeyPath());
        return OwnKey{*pair, false};
    }
    if (!platform::CreateFolders(SigningFolder(), 0700))
        return fail("cannot make the folder " + SigningFolder());
    OwnKey key{opensig::MakeKeyPair(), true};
    std::string secret;
    try
    {
        secret = opensig::SecretKeyFile(key.pair, passphrase, limits);
    }
    catch (const std::exception& e)
    {
        return fail(e.what());
    }
    if (!WritePrivate(SecretKeyPath(), secret)) return fail("cannot write " + SecretKeyPath());
    if (!platform::WriteFinishedFile(PublicKeyPath(), opensig::PublicKeyFile(key.pair.pub)))
        return fail("cannot write " + PublicKeyPath());
    return key;
}

} // namespace vark
