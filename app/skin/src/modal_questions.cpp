#include "skin/modal_questions.h"

#include <QFileDialog>

#include "skin/msgbox_dlg.h"

namespace skin
{

namespace
{

class RealDialogs : public ModalQuestions
{
public:
    int Message(QWidget* parent, const std::string& text, uint32_t style) override
    {
        CMsgBoxDlg box(parent, text, style);
        int r = box.exec();
        // closing by the skin's close button counts as the box's negative answer
        if (r != IDOK && r != IDYES && r != IDNO) r = CMsgBoxDlg::IsYesNo(style) ? IDNO : IDOK;
        return r;
    }
    std::optional<std::string> OpenFile(QWidget* parent, const std::string& filter,
                                        const std::string& start) override
    {
        QString f = QFileDialog::getOpenFileName(parent, {}, QString::fromStdString(start),
                                                 QString::fromStdString(QtFileFilter(filter)));
        return f.isEmpty() ? std::nullopt : std::optional(f.toStdString());
    }
    std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter,
                                        const std::string& start, const std::string& name) override
    {
        QString dir = QString::fromStdString(start);
        if (!name.empty()) dir += "/" + QString::fromStdString(name);
        QString f = QFileDialog::getSaveFileName(parent, {}, dir,
                                                 QString::fromStdString(QtFileFilter(filter)));
        return f.isEmpty() ? std::nullopt : std::optional(f.toStdString());
    }
    std::optional<std::string> BrowseFolder(QWidget* parent, const std::string& title,
                                            const std::string& start) override
    {
        QString f = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title),
                                                      QString::fromStdString(start));
        return f.isEmpty() ? std::nullopt : std::optional(f.toStdString());
    }
};

RealDialogs g_real;
ModalQuestions* g_current = &g_real;

} // namespace

ModalQuestions& Questions()
{
    return *g_current;
}

ModalQuestions* SetQuestions(ModalQuestions* service)
{
    ModalQuestions* old = g_current == &g_real ? nullptr : g_current;
    g_current = service ? service : &g_real;
    return old;
}

std::string QtFileFilter(const std::string& filter)
{
    // pairs of "description|pattern" separated by "|", ended by "||"
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size())
    {
        size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
    {
        if (parts[i].empty()) break;
        if (!out.empty()) out += ";;";
        out += parts[i];
    }
    return out.empty() ? filter : out;
}

int ScriptedResponder::Message(QWidget*, const std::string& text, uint32_t style)
{
    asked_.push_back({Asked::kMessage, text, style, {}});
    if (messages_.empty())
    {
        ++unexpected_;
        return CMsgBoxDlg::IsYesNo(style) ? IDNO : IDOK;
    }
    int r = messages_.front();
    messages_.pop_front();
    return r;
}

std::optional<std::string> ScriptedResponder::NextPath(Asked::Kind kind, const std::string& text,
                                                       const std::string& startFolder)
{
    asked_.push_back({kind, text, 0, startFolder});
    if (paths_.empty())
    {
        ++unexpected_;
        return std::nullopt;
    }
    auto r = paths_.front();
    paths_.pop_front();
    return r;
}

std::optional<std::string> ScriptedResponder::OpenFile(QWidget*, const std::string& filter,
                                                       const std::string& startFolder)
{
    return NextPath(Asked::kOpenFile, filter, startFolder);
}

std::optional<std::string> ScriptedResponder::SaveFile(QWidget*, const std::string& filter,
                                                       const std::string& startFolder,
                                                       const std::string&)
{
    return NextPath(Asked::kSaveFile, filter, startFolder);
}

std::optional<std::string> ScriptedResponder::BrowseFolder(QWidget*, const std::string& title,
                                                           const std::string& startFolder)
{
    return NextPath(Asked::kBrowseFolder, title, startFolder);
}

} // namespace skin
