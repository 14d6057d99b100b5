// The recorder's control protocol as both ends speak it: the link (CVarkDevice) and the
// virtual recorder's firmware. One table, so that the two cannot drift apart together.
// Header only, plain C++: the virtual recorder uses it without linking the link.
#pragma once

#include <cstdint>

namespace vark
{

// Command numbers. A command is sent as a query (16-byte frame back) or a write (16-byte
// frame out, dword 0 the access code); most settings go both ways.
enum class RecorderCommand : uint8_t
{
    SerialNumber = 0, // query; the one answered while locked
    Clock = 1,        // seconds since 2000
    SampleRate = 2,   // 1 = 16 kHz
    Uncompressed = 3, // 1 = 16-bit PCM
    Stereo = 4,
    SourceLeft = 5,
    SourceRight = 6,
    Memory = 7,          // query: total and free
    Battery = 8,         // query: level and charging flag
    RecordCount = 9,     // query
    SelectRecord = 10,   // write: select by index; query: 1 while the record is not ready
    CloseRecord = 11,    // write
    RecordHeader = 12,   // query: size, start, header word of the selected record
    SeekRecord = 13,     // write: data position and flag
    TransferSize = 14,   // write: bytes the next bulk reads may deliver
    RecordingLevel = 16, // the level setting, left and right
    InputLevel = 19,     // query: the live input meter, left and right
    Agc = 21,
    ButtonMode = 22,
    AccuThreshold = 23,
    SelectTimer = 24, // write: the timer that Timer addresses
    Timer = 25,       // start and duration of the selected timer
    EraseAll = 26,    // write 1: start; query: 1 while erasing
    RingLength = 27,  // loop recording length in seconds, 0 = off
    ChangeAccessCode = 28,
    PresentAccessCode = 29, // write: unlocks; the one write accepted while locked
    RecordButton = 30,
    Commit = 31,          // write: makes the settings written so far permanent
    FirmwareVersion = 34, // query
    BatteryIndication = 41,
    CapabilityLevel = 43, // query
};

inline constexpr unsigned CommandNumber(RecorderCommand command)
{
    return static_cast<unsigned>(command);
}

// Driver control codes: one per direction and command number.
inline constexpr uint32_t kQueryCodeBase = 0x222000;
inline constexpr uint32_t kWriteCodeBase = 0x222400;
inline constexpr uint32_t QueryCode(unsigned command)
{
    return kQueryCodeBase + 4u * command;
}
inline constexpr uint32_t WriteCode(unsigned command)
{
    return kWriteCodeBase + 4u * command;
}
inline constexpr uint32_t QueryCode(RecorderCommand command)
{
    return QueryCode(CommandNumber(command));
}
inline constexpr uint32_t WriteCode(RecorderCommand command)
{
    return WriteCode(CommandNumber(command));
}

// Every control request carries one frame: out for a write, back for a query.
inline constexpr uint32_t kFrameSize = 16;

// The transfer size the link announces after opening or positioning a record (firmware
// kFirmwareTransferSizeOnOpen on).
inline constexpr uint16_t kTransferSizeOnOpen = 0x4000;

// Firmware version thresholds (unsigned 16-bit comparisons); each names what changes there.
// From here on the transfer size goes once after opening and positioning; below it goes
// before every bulk read, which uses it up.
inline constexpr uint16_t kFirmwareTransferSizeOnOpen = 17;
// From here on memory figures count 512-byte units; below, bytes.
inline constexpr uint16_t kFirmwareSectorUnits = 1025;
// Above this the recorder has the battery-indication switch.
inline constexpr uint16_t kFirmwareBatteryIndication = 0x2B12;
// From here on bulk reads deliver whole flash pages with their sector codes.
inline constexpr uint16_t kFirmwarePages = 0x2C00;

} // namespace vark
