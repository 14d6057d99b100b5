// Plain binary files for the player core's WAVE classes. A_FILE is the interface, X_FILE
// the implementation over POSIX descriptors (close-on-exec, so programs the core starts do
// not inherit them).
//
// Failures are reported by results (false, -1) and explained by GetLastErrorAsString:
// "<operation> \"<file name>\": <reason>". Opening a directory fails ("Is a directory").
//
// Share flags follow the Windows rule between the X_FILE objects of one process: an open is
// refused ("sharing violation") when it wants an access that an earlier open of the same
// file does not share, or when it does not share an access an earlier open holds. Other
// processes are not restrained. TRUNCATE takes effect only after the share check, so a
// refused open never cuts a file that someone else is using.
#pragma once

#include <cstdint>
#include <string>

class A_FILE
{
public:
    // Access flags.
    static constexpr uint32_t READ = 1;
    static constexpr uint32_t WRITE = 2;
    static constexpr uint32_t CREATE = 4;     // create a missing file (mode 0666 less umask)
    static constexpr uint32_t TRUNCATE = 8;   // cut an existing file to 0 bytes
    static constexpr uint32_t EXCLUSIVE = 16; // with CREATE: fail when the file exists
    // Share flags.
    static constexpr uint32_t SHARE_NONE = 0;
    static constexpr uint32_t SHARE_READ = 1;
    static constexpr uint32_t SHARE_WRITE = 2;
    // Seek origins.
    enum ORIGIN
    {
        FROM_BEGIN = 0,
        FROM_CURRENT = 1,
        FROM_END = 2
    };

    struct STAT
    {
        int64_t size = 0;
        int64_t modifiedUnixSeconds = 0;
        bool regular = false;
    };

    virtual ~A_FILE();
    virtual bool Open(const std::string& utf8Name, uint32_t access, uint32_t share) = 0;
    virtual bool Open(const std::wstring& name, uint32_t access, uint32_t share) = 0;
    // Reading at the end succeeds with 0 bytes; short counts come only from the end.
    virtual bool Read(void* buffer, uint32_t count, uint32_t* done) = 0;
    virtual bool Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
    // The new position, or -1.
    virtual int64_t Seek(int64_t offset, ORIGIN origin) = 0;
    // The size in bytes, or -1.
    virtual int64_t GetSize() = 0;
    // Pushes written data to the disk.
    virtual bool Flush() = 0;
    virtual void Close() = 0;
    // Closes the file (if open) and deletes it by its name.
    virtual bool Remove() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Stat(STAT* out) = 0;
    // Adopts an open descriptor of the file `name`: the object works on its own duplicate,
    // so the caller keeps (and closes) `handle`.
    virtual bool LinkTo(const std::wstring& name, int handle) = 0;
    virtual std::string GetLastErrorAsString() const = 0;
};

class X_FILE : public A_FILE
{
public:
    X_FILE() = default;
    ~X_FILE() override;
    X_FILE(const X_FILE&) = delete;
    X_FILE& operator=(const X_FILE&) = delete;

    bool Open(const std::string& utf8Name, uint32_t access, uint32_t share) override;
    bool Open(const std::wstring& name, uint32_t access, uint32_t share) override;
    bool Open(const char* utf8Name, uint32_t access, uint32_t share)
    {
        return Open(std::string(utf8Name ? utf8Name : ""), access, share);
    }
    bool Open(const wchar_t* name, uint32_t access, uint32_t share)
    {
        return Open(std::wstring(name ? name : L""), access, share);
    }
    bool Read(void* buffer, uint32_t count, uint32_t* done) override;
    bool Write(const void* buffer, uint32_t count, uint32_t* done) override;
    int64_t Seek(int64_t offset, ORIGIN origin) override;
    int64_t GetSize() override;
    bool Flush() override;
    void Close() override;
    bool Remove() override;
    bool IsOpen() const override { return fd_ >= 0; }
    bool Stat(STAT* out) override;
    bool LinkTo(const std::wstring& name, int handle) override;
    std::string GetLastErrorAsString() const override;

    const std::string& GetName() const { return name_; }
    int Handle() const { return fd_; }

private:
    bool Fail(const char* operation, int error);
    bool NotOpen(const char* operation);

    int fd_ = -1;
    std::string name_;
    uint32_t access_ = 0;
    uint32_t share_ = 0;
    uint64_t device_ = 0, inode_ = 0;
    bool registered_ = false;
    std::string lastOperation_;
    int lastError_ = 0;
};
