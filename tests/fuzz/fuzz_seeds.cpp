// Writes the seed corpus of every fuzz target into <folder>/<target>/: small valid inputs
// made here by the project's own writers, so that each run starts from inputs that reach
// deep into its parser. Usage: fuzz_seeds FOLDER
#include "fuzz_support.h"

#include "device/vark_protocol.h"
#include "device/vark_settings.h"
#include "platform/com/wire.h"
#include "platform/devio_frame.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "transfer/sha1.h"
#include "transfer/signature.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

using Bytes = std::string;
std::filesystem::path g_root;

void Put16(Bytes& s, uint16_t v)
{
    uint8_t b[2];
    platform::StoreLE16(b, v);
    s.append(reinterpret_cast<char*>(b), 2);
}

void Put32(Bytes& s, uint32_t v)
{
    uint8_t b[4];
    platform::StoreLE32(b, v);
    s.append(reinterpret_cast<char*>(b), 4);
}

Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes s(id, 4);
    Put32(s, static_cast<uint32_t>(body.size()));
    s += body;
    if (body.size() % 2) s += '\0';
    return s;
}

Bytes Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align,
           const Bytes& data, const Bytes& extra = {}, bool fact = false)
{
    Bytes fmt;
    Put16(fmt, tag);
    Put16(fmt, channels);
    Put32(fmt, rate);
    Put32(fmt, rate * align);
    Put16(fmt, align);
    Put16(fmt, bits);
    if (tag != 1)
    {
        Put16(fmt, static_cast<uint16_t>(extra.size()));
        fmt += extra;
    }
    Bytes chunks = Chunk("fmt ", fmt);
    if (fact)
    {
        Bytes n;
        Put32(n, static_cast<uint32_t>(data.size()));
        chunks += Chunk("fact", n);
    }
    chunks += Chunk("LIST", "INFOISFT\x04\0\0\0vark");
    chunks += Chunk("data", data);
    Bytes riff = "RIFF";
    Put32(riff, static_cast<uint32_t>(chunks.size() + 4));
    return riff + "WAVE" + chunks;
}

Bytes Tone(size_t bytes)
{
    Bytes s;
    for (size_t i = 0; i < bytes; ++i)
        s += static_cast<char>((i * 37) ^ (i >> 3));
    return s;
}

void Seed(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const auto folder = g_root / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::vector<Bytes> Waves()
{
    Bytes ima;
    Put16(ima, 505); // frames per block
    return {Wave(1, 1, 8000, 16, 2, Tone(800)),
            Wave(1, 2, 16000, 16, 4, Tone(1601)),
            Wave(7, 1, 8000, 8, 1, Tone(400), {}, true),
            Wave(6, 2, 8000, 8, 2, Tone(300), {}, true),
            Wave(3, 1, 8000, 32, 4, Bytes(64, '\0')),
            Wave(0x11, 1, 8000, 4, 256, Tone(512), ima, true)};
}

Bytes Read(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

// A string as FuzzedDataProvider::ConsumeRandomLengthString reads it back.
Bytes RandomLengthString(const Bytes& s)
{
    Bytes out;
    for (char c : s)
    {
        out += c;
        if (c == '\\') out += '\\';
    }
    return out + "\\x";
}

// Frames and Invoke arguments of the COM connection, written by its own Writer.
Bytes ComFrame(com::Writer& body)
{
    com::Writer w;
    w.U32(0x4D4F4356);
    w.U32(static_cast<uint32_t>(body.Bytes().size()));
    return Bytes(w.Bytes().begin(), w.Bytes().end()) +
           Bytes(body.Bytes().begin(), body.Bytes().end());
}

Bytes ComCall(uint32_t id, uint64_t object, const com::IID& iid, uint16_t slot,
              com::Writer arguments)
{
    com::Writer w;
    w.U8(1), w.U32(id), w.U64(object), w.Guid(iid), w.U16(slot);
    w.Bytes().insert(w.Bytes().end(), arguments.Bytes().begin(), arguments.Bytes().end());
    return ComFrame(w);
}

// Invoke's arguments after the frame's slot: one value, no names, a result wanted.
com::Writer InvokeArguments(int32_t dispid, const com::VARIANT& value)
{
    com::Writer w;
    w.I32(dispid), w.Guid(com::GUID_NULL), w.U32(0), w.U16(com::DISPATCH_METHOD);
    w.U32(1), w.Variant(value);
    w.U32(0), w.U8(1), w.U8(1);
    return w;
}

// The channel target's input: flags, the piece sizes, the bytes.
Bytes ChannelInput(uint8_t flags, const std::vector<uint8_t>& pieces, const Bytes& bytes)
{
    Bytes s(1, static_cast<char>(flags));
    s += static_cast<char>(pieces.size());
    for (uint8_t p : pieces)
        s += static_cast<char>(p);
    return s + bytes;
}

void ChannelSeeds()
{
    const std::string target = "com_channel_fuzz";
    const com::IID dispatch = com::IDispatch::kIid;
    com::VARIANT four;
    com::VariantInit(&four);
    four.vt = com::VT_I4;
    four.lVal = 4;
    com::Writer asked;
    asked.Guid(dispatch);
    com::Writer none;
    Bytes session = ComCall(1, 1, com::IUnknown::kIid, 0, asked) +
                    ComCall(2, 1, dispatch, 3, none) +
                    ComCall(3, 1, dispatch, 6, InvokeArguments(2, four));
    com::Writer reply;
    reply.U8(2), reply.U32(77), reply.I32(0);
    session += ComFrame(reply);
    // Activated first; headers cut in the middle and frames run together.
    Seed(target, "session", ChannelInput(2, {3, 30, 1, 60}, session));
    com::Writer release;
    release.U8(3), release.U64(1), release.U32(1);
    Seed(target, "release", ChannelInput(2, {}, session + ComFrame(release)));
    Seed(target, "bad-magic", ChannelInput(2, {}, session + "VCOX" + Bytes(4, '\x01') + "z"));
    Seed(target, "cut", ChannelInput(6, {}, session.substr(0, session.size() - 3)));

    // Events: a number, a text, and an interface the sink calls back on, whose answer is
    // S_OK with a number, no exception and no argument error.
    com::VARIANT text;
    com::VariantInit(&text);
    text.vt = com::VT_BSTR;
    text.bstrVal = com::SysAllocString(L"event");
    com::Writer a = InvokeArguments(1, four), b = InvokeArguments(2, text);
    com::VariantClear(&text);
    com::Writer c;
    c.I32(3), c.Guid(com::GUID_NULL), c.U32(0), c.U16(com::DISPATCH_METHOD);
    c.U32(1), c.U16(com::VT_DISPATCH), c.U8(1), c.U64(7), c.Guid(dispatch);
    c.U32(0), c.U8(1), c.U8(0);
    com::Writer answer;
    answer.I32(0), answer.Variant(four), answer.U8(0), answer.U32(0);
    const auto piece = [](com::Writer& w) { return static_cast<uint8_t>(w.Bytes().size()); };
    const auto bytes = [](com::Writer& w) { return Bytes(w.Bytes().begin(), w.Bytes().end()); };
    Seed(target, "events",
         ChannelInput(1, {piece(a), piece(b), piece(c)},
                      bytes(a) + bytes(b) + bytes(c) + bytes(answer)));
    com::Writer names;
    names.Guid(com::GUID_NULL), names.U32(0), names.U32(1);
    com::BSTR name = com::SysAllocString(L"Value");
    names.Bstr(name);
    com::SysFreeString(name);
    Seed(target, "names", ChannelInput(1 | 8 | 16, {piece(names)}, bytes(names)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    const Bytes tail(16, '\xFF'); // the targets' own parameters, taken from the end
    int n = 0;
    for (const Bytes& w : Waves())
    {
        Seed("wave_file_fuzz", "wave" + std::to_string(n), w + tail);
        Seed("ondakit_riff_fuzzer", "wave" + std::to_string(n), w + Bytes(16, '\x10'));
        ++n;
    }

    Seed("profile_fuzz", "settings",
         RandomLengthString("SETTINGS") + RandomLengthString("ODK_OpenStrategy") +
             "; player settings\r\n[SETTINGS]\r\nODK_OpenStrategy = "
             "\"ACM_DX\"\r\n[Other]\r\nx=1\r\n");
    Seed("profile_fuzz", "plain",
         RandomLengthString("Varke") + RandomLengthString("Language") +
             "[Varke]\nLanguage=1049\nListOrder=1\n[varke]\nlanguage=1");

    const std::string scratch = fuzz::ScratchPath("seed.vrp");
    vark::VarkParams params;
    params.stereo = 1;
    params.timers[1].enabled = 1;
    params.timers[1].start = 40000.5;
    vark::SaveParamsFile(platform::Utf8ToWide(scratch), params);
    Seed("vrp_fuzz", "params", Read(scratch));

    // A WAV file beside its own signature, and the same with the long signature form.
    const std::string wavPath = fuzz::ScratchPath("seed.wav");
    const Bytes wav = Waves()[2];
    fuzz::WriteBytes(wavPath, reinterpret_cast<const uint8_t*>(wav.data()), wav.size());
    vark::Sha1 sha;
    sha.Input(wav.data(), wav.size());
    vark::Sign(wavPath, sha, 4242);
    const Bytes sig = Read(vark::SignaturePathFor(wavPath));
    Bytes serial;
    Put32(serial, 4242);
    Seed("dsg_fuzz", "signed", RandomLengthString(sig) + wav + serial);
    Seed("dsg_fuzz", "long", RandomLengthString(sig + "abcd") + wav + serial);

    // The recorder: answers that succeed with whole frames, then pages.
    Seed("vark_device_fuzz", "answers",
         Bytes(600, '\xF0') + Bytes(300, '\x00') + Bytes(64, '\x35'));
    Seed("vark_device_fuzz", "pages", Bytes(64, '\xF0') + Bytes(5000, '\x7F') + Bytes(32, '\x04'));

    using namespace platform::devio;
    Bytes answers;
    for (uint32_t length : {16u, 16u, 0u, 8u, 4096u})
    {
        Bytes out(length < 16 ? length : 16, '\x21');
        if (length == 4096) out.assign(4096, '\x22');
        const auto a = EncodeAnswer({length == 8 ? 31u : 0u, length},
                                    reinterpret_cast<const uint8_t*>(out.data()), out.size());
        answers.append(a.begin(), a.end());
    }
    Seed("devio_client_fuzz", "answers", Bytes("\x01\x03\x05\x07\x64\x09\x0b\x0d", 8) + answers);

    Bytes requests;
    const auto request = [&](uint16_t op, uint32_t code, const Bytes& input, uint32_t capacity)
    {
        const RequestHeader h{op, 0, code, static_cast<uint32_t>(input.size()), capacity};
        const auto f = EncodeRequest(h, reinterpret_cast<const uint8_t*>(input.data()));
        requests.append(f.begin(), f.end());
    };
    using Cmd = vark::RecorderCommand;
    using vark::kFrameSize;
    using vark::QueryCode;
    using vark::WriteCode;
    const Bytes frame(kFrameSize, '\0');
    request(kOpControl, QueryCode(Cmd::SerialNumber), {}, kFrameSize);
    request(kOpControl, WriteCode(Cmd::PresentAccessCode), frame, 0);
    request(kOpControl, QueryCode(Cmd::FirmwareVersion), {}, kFrameSize);
    request(kOpControl, QueryCode(Cmd::RecordCount), {}, kFrameSize);
    Bytes open = frame;
    open[4] = 1;
    request(kOpControl, WriteCode(Cmd::SelectRecord), open, 0);
    request(kOpControl, QueryCode(Cmd::SelectRecord), {}, kFrameSize);
    request(kOpControl, QueryCode(Cmd::RecordHeader), {}, kFrameSize);
    request(kOpRead, 0, {}, 5120);
    Seed("devio_server_fuzz", "session", requests);

    com::Writer values;
    values.U32(7);
    values.Guid(com::IUnknown::kIid);
    com::BSTR text = com::SysAllocString(L"Varke");
    values.Bstr(text);
    com::VARIANT v;
    com::VariantInit(&v);
    v.vt = com::VT_BSTR;
    v.bstrVal = com::SysAllocString(L"recorder");
    values.Variant(v);
    com::VariantClear(&v);
    com::SAFEARRAY* array = com::SafeArrayCreateVector(com::VT_I4, 0, 3);
    v.vt = com::VARTYPE(com::VT_ARRAY | com::VT_I4);
    v.parray = array;
    values.Variant(v);
    com::VariantClear(&v);
    Seed("com_wire_fuzz", "values",
         Bytes("\x00\x05\x02\x05\x06\x08\x08", 7) +
             Bytes(values.Bytes().begin(), values.Bytes().end()));
    com::Writer call;
    call.U8(5), call.Bstr(text);
    v.vt = com::VT_I4;
    v.lVal = 5;
    call.U8(6), call.Variant(v);
    call.U8(1), call.I32(3);
    call.U8(3), call.F64(0.5);
    call.U8(4), call.Guid(com::IUnknown::kIid);
    call.U8(2), call.U32(9);
    call.U8(7), call.U8(7), call.U8(7);
    Seed("com_wire_fuzz", "call",
         Bytes("\x01\x00", 2) + Bytes(call.Bytes().begin(), call.Bytes().end()));
    com::Writer reply;
    reply.U8(6), reply.Variant(v);
    reply.U8(5), reply.Bstr(text);
    reply.U8(1), reply.I32(4);
    Seed("com_wire_fuzz", "reply",
         Bytes("\x02\x00", 2) + Bytes(reply.Bytes().begin(), reply.Bytes().end()));
    com::SysFreeString(text);
    ChannelSeeds();

    Seed("skin_parse_fuzz", "about",
         "[IDD_ABOUTBOX]\nskin_position=0,0,320,200\n[IDC_LINK]\nskin_position=10,20,100,16\n"
         "skin_position_over=10,40,100,16\n[IDOK]\nskin_position=1,2,3,4,5\n");
    std::error_code ec;
    std::filesystem::remove_all(fuzz::ScratchPath(""), ec);
    return 0;
}
