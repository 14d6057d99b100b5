// Open signatures against the minisign tool itself (each checks what the other made), the
// ways a signature, a key or a passphrase can be wrong, and the user's own key store.
#include "transfer/open_signature.h"
#include "transfer/signing_key.h"

#include "testsupport/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vark;
using namespace vark::opensig;

namespace
{

// Cheap for tests; the file carries its cost, so reading needs nothing else.
constexpr KdfLimits kQuick{32768, 8388608};

bool HaveMinisign()
{
    return testsupport::RunProcess({"minisign", "-v"}).exitCode == 0;
}

} // namespace

TEST(OpenSignature, MinisignChecksOursAndWeCheckMinisigns)
{
    if (!HaveMinisign()) GTEST_SKIP() << "minisign is not installed (scripts/bootstrap adds it)";
    testsupport::ScopedTestEnv env;
    const std::string file = env.Path("2026_03_14 09_26_53.wav");
    testsupport::WriteFile(file, std::string(300000, '\x5A') + "the record");

    // ours, with an encrypted key read back through its passphrase
    const KeyPair made = MakeKeyPair();
    const std::string secret = SecretKeyFile(made, "correct horse", kQuick);
    EXPECT_TRUE(SecretKeyEncrypted(secret));
    KeyError error = KeyError::none;
    const auto pair = ParseSecretKey(secret, "correct horse", &error);
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->pub.key, made.pub.key);
    EXPECT_EQ(ParseSecretKey(secret, "wrong", &error), std::nullopt);
    EXPECT_EQ(error, KeyError::wrongPassphrase);
    testsupport::WriteFile(env.Path("our.pub"), PublicKeyFile(pair->pub));
    const std::string trusted = "recorder:4242 record:3 sha256:ab\ncd";
    testsupport::WriteFile(file + ".minisig",
                           SignatureFile(*pair, *HashFile(file), trusted, "from the test"));
    const auto checked =
        testsupport::RunProcess({"minisign", "-V", "-m", file, "-p", env.Path("our.pub")});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("recorder:4242 record:3 sha256:ab cd"), std::string::npos);

    // minisign's, with a plain key: its key and signature read here
    const std::string theirs = env.Path("theirs");
    ASSERT_EQ(testsupport::RunProcess(
                  {"minisign", "-G", "-W", "-p", theirs + ".pub", "-s", theirs + ".key"})
                  .exitCode,
              0);
    ASSERT_EQ(testsupport::RunProcess({"minisign", "-S", "-s", theirs + ".key", "-m", file, "-x",
                                       env.Path("theirs.minisig"), "-t", "made by minisign"})
                  .exitCode,
              0);
    const auto theirPub = ParsePublicKey(testsupport::ReadFile(theirs + ".pub"));
    ASSERT_TRUE(theirPub);
    const auto theirPair = ParseSecretKey(testsupport::ReadFile(theirs + ".key"), "", &error);
    ASSERT_TRUE(theirPair) << int(error);
    EXPECT_EQ(theirPair->pub.key, theirPub->key);
    const CheckResult r =
        CheckFile(file, testsupport::ReadFile(env.Path("theirs.minisig")), *theirPub);
    EXPECT_EQ(r.result, Check::authentic);
    EXPECT_EQ(r.trustedComment, "made by minisign");
    EXPECT_EQ(KeyIdText(r.keyId), KeyIdText(theirPub->id));
    EXPECT_NE(testsupport::ReadFile(theirs + ".pub").find(KeyIdText(theirPub->id)),
              std::string::npos)
        << KeyIdText(theirPub->id) << testsupport::ReadFile(theirs + ".pub");
}

TEST(OpenSignature, EveryWrongSignatureKeyAndFileIsToldApart)
{
    testsupport::ScopedTestEnv env;
    const std::string file = env.Path("a.wav");
    testsupport::WriteFile(file, "RIFF and some sound");
    const KeyPair pair = MakeKeyPair(), other = MakeKeyPair();
    const std::string sig = SignatureFile(pair, *HashFile(file), "start:2026-03-14", "x");
    ASSERT_TRUE(LooksLikeSignature(sig));
    EXPECT_EQ(CheckFile(file, sig, pair.pub).result, Check::authentic);
    EXPECT_EQ(CheckFile(file, sig, other.pub).result, Check::otherKey);
    EXPECT_EQ(CheckFile(env.Path("missing.wav"), sig, pair.pub).result, Check::unreadable);

    // the trusted comment edited: the file is still the one signed, the comment is not
    std::string edited = sig;
    edited.replace(edited.find("2026-03-14"), 10, "2026-03-15");
    EXPECT_EQ(CheckFile(file, edited, pair.pub).result, Check::commentChanged);
    // truncated, a character of the signature changed, a line gone, not a signature at all
    for (const std::string& bad :
         {sig.substr(0, sig.size() / 2), std::string(sig).replace(sig.find('\n') + 5, 1, "*"),
          sig.substr(sig.find('\n') + 1), std::string("RIFF\0\0\0\0", 8)})
        EXPECT_EQ(CheckFile(file, bad, pair.pub).result, Check::malformed) << bad;
    testsupport::WriteFile(file, "RIFF and some sound, changed");
    EXPECT_EQ(CheckFile(file, sig, pair.pub).result, Check::changed);

    // keys of the wrong kind or size
    std::string why;
    EXPECT_FALSE(ParsePublicKey(sig, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(ParsePublicKey(SecretKeyFile(pair, "")));
    EXPECT_FALSE(ParsePublicKey("untrusted comment: k\nRWQ="));
    KeyError error = KeyError::none;
    EXPECT_FALSE(ParseSecretKey(PublicKeyFile(pair.pub), "", &error));
    EXPECT_EQ(error, KeyError::malformed);
    // a key file that asks scrypt for more memory than any key needs is refused unread
    std::string costly = SecretKeyFile(pair, "p", kQuick);
    const auto line = costly.find('\n') + 1;
    std::string blob = costly.substr(line, costly.size() - line - 1);
    blob.replace(60, 8, "////////"); // a memory limit of a thousand gigabytes
    EXPECT_FALSE(ParseSecretKey(costly.substr(0, line) + blob + "\n", "p", &error));
    EXPECT_NE(error, KeyError::none);
}

TEST(SigningKey, MadeOnceKeptPrivateAndReadWithItsPassphrase)
{
    testsupport::ScopedTestEnv env;
    EXPECT_FALSE(OwnPublicKey());
    std::string error;
    const auto made = LoadOrMakeSigningKey("secret words", &error, kQuick);
    ASSERT_TRUE(made) << error;
    EXPECT_TRUE(made->made);
    EXPECT_EQ(SecretKeyPath(), env.Path("data/Mirvanta/Varke-P/signing/signing.key"));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(SecretKeyPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(OwnKeyEncrypted());
    ASSERT_TRUE(OwnPublicKey());
    EXPECT_EQ(OwnPublicKey()->key, made->pair.pub.key);

    const auto again = LoadOrMakeSigningKey("secret words", &error);
    ASSERT_TRUE(again) << error;
    EXPECT_FALSE(again->made);
    EXPECT_EQ(again->pair.secret, made->pair.secret);
    const std::string before = testsupport::ReadFile(SecretKeyPath());
    EXPECT_FALSE(LoadOrMakeSigningKey("other words", &error));
    EXPECT_NE(error.find("passphrase"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(SecretKeyPath()), before); // nothing changed on disk
    // a lost public key is written again from the secret one
    std::filesystem::remove(PublicKeyPath());
    ASSERT_TRUE(LoadOrMakeSigningKey("secret words", &error));
    EXPECT_EQ(OwnPublicKey()->key, made->pair.pub.key);
}
