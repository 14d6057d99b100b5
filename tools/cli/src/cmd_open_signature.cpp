// The open signatures on the command line: verify --minisig and key --signing, and the

#include "platform/whole_file.h"
// passphrase of the user's signing key, which comes from a file or the terminal, never
// from an argument (arguments are seen by every user of the machine).
#include "cli.h"

#include "res/strings.h"
#include "transfer/open_signature.h"
#include "transfer/sha256_manifest.h"
#include "transfer/signing_key.h"

#include <fstream>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace cli
{
namespace
{

std::string AskHidden(const std::string& prompt)
{
    std::cerr << prompt << std::flush;
    termios before{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (tty)
    {
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (tty) ::tcsetattr(STDIN_FILENO, TCSANOW, &before);
    std::cerr << "\n";
    return line;
}

} // namespace

std::string SigningPassphrase(Context& ctx, bool making)
{
    if (const auto file = ctx.args.Get("--passphrase-file"))
    {
        const auto text = platform::ReadWholeFile(*file);
        if (!text) throw UsageError{"cannot read the passphrase file " + *file};
        return text->substr(0, text->find('\n')); // its first line
    }
    if (!::isatty(STDIN_FILENO))
    {
        if (making)
            std::cerr << "vark-cli: warning: the new signing key is not encrypted (no "
                         "--passphrase-file and no terminal to ask on)\n";
        return {};
    }
    if (!making) return AskHidden("Passphrase of the signing key: ");
    const std::string first = AskHidden("Passphrase for the new signing key (empty: none): ");
    if (AskHidden("The same passphrase again: ") != first)
        throw UsageError{"the two passphrases differ"};
    if (first.empty()) std::cerr << "vark-cli: warning: the new signing key is not encrypted\n";
    return first;
}

std::optional<vark::opensig::KeyPair> OwnSigningKey(Context& ctx)
{
    const bool making = !std::ifstream(vark::SecretKeyPath()).good();
    const std::string passphrase =
        making || vark::OwnKeyEncrypted() ? SigningPassphrase(ctx, making) : std::string();
    std::string error;
    const auto key = vark::LoadOrMakeSigningKey(passphrase, &error);
    if (!key)
    {
        Fail("vark-cli: " + error);
        return std::nullopt;
    }
    if (key->made) std::cerr << "vark-cli: made the signing key " << vark::SecretKeyPath() << "\n";
    return key->pair;
}

int VerifyOpenSignature(Context& ctx, const std::string& file, const std::string& signaturePath)
{
    using vark::opensig::Check;
    const auto signature = platform::ReadWholeFile(signaturePath);
    if (!signature) throw UsageError{"cannot read " + signaturePath};
    std::optional<vark::opensig::PublicKey> key;
    std::string whose = "your own key";
    if (const auto keyPath = ctx.args.Get("--public-key"))
    {
        const auto text = platform::ReadWholeFile(*keyPath);
        if (!text) throw UsageError{"cannot read " + *keyPath};
        std::string why;
        key = vark::opensig::ParsePublicKey(*text, &why);
        if (!key) throw UsageError{*keyPath + ": " + why};
        whose = "the key in " + *keyPath;
    }
    else if (!(key = vark::OwnPublicKey()))
        throw UsageError{"no signing key of your own yet: give the signer's --public-key KEY"};

    const vark::opensig::CheckResult r = vark::opensig::CheckFile(file, *signature, *key);
    const std::string id = vark::opensig::KeyIdText(r.keyId);
    switch (r.result)
    {
    case Check::malformed:
        Fail("vark-cli: " + signaturePath + " is not an open signature file");
        return kExitFailure;
    case Check::unreadable:
        Fail("vark-cli: cannot read " + file);
        return kExitFailure;
    case Check::otherKey:
        Fail("vark-cli: the signature was made with key " + id + ", not with " + whose + " (" +
             vark::opensig::KeyIdText(key->id) + ")");
        return kExitFailure;
    default:
        break;
    }
    const bool authentic = r.result == Check::authentic;
    if (ctx.json)
    {
        Json j;
        j.Bool("authentic", authentic).Str("keyId", id).Str("trustedComment", r.trustedComment);
        j.Bool("commentChanged", r.result == Check::commentChanged);
        std::cout << j.Text() << "\n";
    }
    else
    {
        std::cout << res::LoadString(authentic ? res::ids::kFileIsAuthentic
                                               : res::ids::kFileChanged)
                  << "\n";
        if (authentic)
            std::cout << "Signed with key " << id << " (" << whose << "): " << r.trustedComment
                      << "\n";
        else if (r.result == Check::commentChanged)
            std::cout << "The file is the one signed, but the signature's trusted comment was "
                         "edited.\n";
    }
    return authentic ? kExitOk : kExitFailure;
}

int VerifyManifest(Context& ctx, const std::string& folder)
{
    const vark::ManifestReport r = vark::CheckManifest(folder);
    if (!r.found)
    {
        Fail("vark-cli: no readable " + std::string(vark::kManifestName) + " in " + folder);
        return kExitFailure;
    }
    auto word = [](vark::ManifestCheck::Status s)
    {
        return s == vark::ManifestCheck::ok        ? "ok"
               : s == vark::ManifestCheck::changed ? "changed"
                                                   : "missing";
    };
    if (ctx.json)
    {
        std::string files;
        for (const auto& c : r.files)
            files += (files.empty() ? "" : ",") +
                     Json().Str("name", c.name).Str("status", word(c.status)).Text();
        std::string bad;
        for (size_t line : r.badLines)
            bad += (bad.empty() ? "" : ",") + std::to_string(line);
        std::cout << "{\"authentic\":" << (r.AllOk() ? "true" : "false") << ",\"files\":[" << files
                  << "],\"badLines\":[" << bad << "]}\n";
    }
    else
    {
        size_t good = 0;
        for (const auto& c : r.files)
            if (c.status == vark::ManifestCheck::ok)
                ++good;
            else
                std::cout << (c.status == vark::ManifestCheck::changed ? "CHANGED: " : "MISSING: ")
                          << c.name << "\n";
        for (size_t line : r.badLines)
            std::cout << "line " << line << " of " << vark::kManifestName
                      << " is not a \"HASH  NAME\" line\n";
        std::cout << good << " of " << r.files.size() << " file(s) as listed\n";
    }
    return r.AllOk() ? kExitOk : kExitFailure;
}

int SigningKeyCommand(Context& ctx)
{
    // showing the public key needs no passphrase; only a pair not made yet does
    std::optional<vark::opensig::PublicKey> pub = vark::OwnPublicKey();
    if (!pub)
    {
        const auto pair = OwnSigningKey(ctx);
        if (!pair) return kExitFailure;
        pub = pair->pub;
    }
    const std::string text = vark::opensig::PublicKeyFile(*pub);
    if (const auto to = ctx.args.Get("--export"))
    {
        std::ofstream out(*to, std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush())
        {
            Fail("vark-cli: cannot write " + *to);
            return kExitFailure;
        }
    }
    if (ctx.json)
        std::cout << Json()
                         .Str("keyId", vark::opensig::KeyIdText(pub->id))
                         .Str("publicKey", text.substr(text.find('\n') + 1, 56))
                         .Str("file", vark::PublicKeyPath())
                         .Bool("encrypted", vark::OwnKeyEncrypted())
                         .Text()
                  << "\n";
    else
        std::cout << text;
    return kExitOk;
}

} // namespace cli
