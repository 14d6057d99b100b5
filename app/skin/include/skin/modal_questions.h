// The one service through which every modal question of the program is asked: message
// boxes (also the Yes/No questions), file open and save dialogs and the folder browser.
// The program uses the real skinned and platform dialogs; tests install a ScriptedResponder.
#pragma once

#include <QWidget>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace skin
{

class ModalQuestions
{
public:
    virtual ~ModalQuestions() = default;
    // Shows a message box with a ready text; returns the pressed button (1, 6 or 7).
    virtual int Message(QWidget* parent, const std::string& text, uint32_t style) = 0;
    // Filters in the program's form "Name (*.ext)|*.ext||". nullopt: the user cancelled.
    virtual std::optional<std::string> OpenFile(QWidget* parent, const std::string& filter,
                                                const std::string& startFolder) = 0;
    virtual std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter,
                                                const std::string& startFolder,
                                                const std::string& defaultName) = 0;
    virtual std::optional<std::string> BrowseFolder(QWidget* parent, const std::string& title,
                                                    const std::string& startFolder) = 0;
};

// The service in use (the real dialogs unless replaced).
ModalQuestions& Questions();
// Replaces the service; nullptr restores the real dialogs. Returns the previous one.
ModalQuestions* SetQuestions(ModalQuestions* service);

// "Sound files (*.wav)|*.wav||" -> "Sound files (*.wav)" as Qt's file dialogs take it.
std::string QtFileFilter(const std::string& filter);

// A scripted stand-in for tests: answers come from a queue in order, and every question
// asked is recorded. A question with no scripted answer counts as unexpected and is answered
// as cancelled (message: the first button of its kind).
class ScriptedResponder : public ModalQuestions
{
public:
    struct Asked
    {
        enum Kind
        {
            kMessage,
            kOpenFile,
            kSaveFile,
            kBrowseFolder
        } kind;
        std::string text; // message text, filter or title
        uint32_t style = 0;
        std::string startFolder; // where a file or folder dialog starts
    };

    ScriptedResponder() { previous_ = SetQuestions(this); }
    ~ScriptedResponder() override { SetQuestions(previous_); }
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    void AnswerMessage(int button) { messages_.push_back(button); }
    void AnswerPath(std::optional<std::string> path) { paths_.push_back(std::move(path)); }

    const std::vector<Asked>& AskedQuestions() const { return asked_; }
    int Unexpected() const { return unexpected_; }

    int Message(QWidget*, const std::string& text, uint32_t style) override;
    std::optional<std::string> OpenFile(QWidget*, const std::string& filter,
                                        const std::string& startFolder) override;
    std::optional<std::string> SaveFile(QWidget*, const std::string& filter,
                                        const std::string& startFolder,
                                        const std::string&) override;
    std::optional<std::string> BrowseFolder(QWidget*, const std::string& title,
                                            const std::string& startFolder) override;

private:
    std::optional<std::string> NextPath(Asked::Kind kind, const std::string& text,
                                        const std::string& startFolder);
    ModalQuestions* previous_ = nullptr;
    std::deque<int> messages_;
    std::deque<std::optional<std::string>> paths_;
    std::vector<Asked> asked_;
    int unexpected_ = 0;
};

} // namespace skin
