// Signature verification on hostile files: any signature bytes beside any WAV bytes (its
// trailer chunk is parsed for the exported name). Verifying never reads outside the files;
// a signature made for the file verifies, and not for another serial.
#include "fuzz_support.h"

#include "transfer/sha1.h"
#include "transfer/signature.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint32_t serial = in.ConsumeIntegral<uint32_t>();
    const std::string signature = in.ConsumeRandomLengthString(64);
    const std::string wav = in.ConsumeRemainingBytesAsString();
    static const std::string wavPath = fuzz::ScratchPath("record.wav");
    static const std::string dsgPath = fuzz::ScratchPath("hostile.dsg");
    if (!fuzz::WriteBytes(wavPath, reinterpret_cast<const uint8_t*>(wav.data()), wav.size()) ||
        !fuzz::WriteBytes(dsgPath, reinterpret_cast<const uint8_t*>(signature.data()),
                          signature.size()))
        return 0;
    std::wstring name;
    vark::Verify(dsgPath, wavPath, serial, name);
    FUZZ_CHECK(name.size() <= wav.size());

    vark::Sha1 sha;
    if (!wav.empty()) FUZZ_CHECK(sha.Input(wav.data(), wav.size()) == vark::Sha1Status::kSuccess);
    FUZZ_CHECK(vark::Sign(wavPath, sha, serial));
    const auto own = vark::SignaturePathFor(wavPath);
    FUZZ_CHECK(vark::Verify(own, wavPath, serial, name));
    FUZZ_CHECK(!vark::Verify(own, wavPath, serial + 1, name));
    return 0;
}
