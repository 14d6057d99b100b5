// skin-builder: renders the skin bitmaps and writes the skin descriptions into a folder laid
// out as the program looks them up (<lcid>/<number>.png, neutral/<number>.txt), plus a .qrc
// that compiles them in. With --preview DIR it renders each skinned window as the user
// sees it, as PNG files named <dialog>-<language>.png.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "form_skin.h"
#include "msgbox_skin.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "skin/msgbox_dlg.h"
#include "skin/skinned_controls.h"

namespace
{

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool Build(const QString& out)
{
    QStringList files;
    auto save = [&](const QString& rel, const QByteArray& bytes)
    {
        files << rel;
        return WriteBytes(out + "/" + rel, bytes);
    };
    auto png = [](const QImage& img)
    {
        QByteArray b;
        QBuffer buf(&b);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "PNG");
        return b;
    };
    bool ok = save("neutral/217.txt", QByteArray::fromStdString(builder::MsgBoxDescription()));
    for (int n = 266; n <= 271; ++n)
        ok = ok && save(QString("neutral/%1.png").arg(n), png(builder::UpDownBitmap(n)));
    for (platform::Lcid l : res::Languages())
    {
        platform::SetThreadLocale(l);
        for (int n : {216, 248, 249})
            ok = ok && save(QString("%1/%2.png").arg(l).arg(n), png(builder::MsgBoxBitmap(n)));
        for (const builder::FormDialog& d : builder::FormDialogs())
        {
            for (const std::string& o : builder::FormOverflows(d))
                std::fprintf(stderr, "skin-builder: label does not fit (%u): %s\n", l, o.c_str());
            ok = ok && save(QString("%1/%2.png").arg(l).arg(d.bitmap), png(builder::FormBitmap(d)));
            QString desc = d.descriptionPerLanguage ? QString("%1/%2.txt").arg(l).arg(d.description)
                                                    : QString("neutral/%1.txt").arg(d.description);
            if (d.descriptionPerLanguage || l == platform::kLcidEnglish)
                ok = ok && save(desc, QByteArray::fromStdString(builder::FormDescription(d)));
        }
    }
    QString qrc = "<RCC>\n  <qresource prefix=\"/vark/skins\">\n";
    for (const QString& f : files)
        qrc += "    <file>" + f + "</file>\n";
    qrc += "  </qresource>\n</RCC>\n";
    return ok && WriteBytes(out + "/skins.qrc", qrc.toUtf8());
}

bool Preview(const QString& skins, const QString& out)
{
    QDir().mkpath(out);
    struct Variant
    {
        const char* name;
        uint32_t style, text;
    } variants[] = {{"error", 0x10, res::ids::kDiskWriteError},
                    {"question", 0x24, res::ids::kDeleteAllQuestion},
                    {"warning", 0x30, res::ids::kPinCodeLength},
                    {"information", 0x40, res::ids::kDeleteAllTakesTime}};
    bool ok = true;
    for (platform::Lcid l : res::Languages())
    {
        platform::SetThreadLocale(l);
        QString lang = res::LanguageFileName(l);
        // the skin as it is stored: the background with every control's normal picture
        {
            skin::CMsgBoxDlg box(nullptr, "", 0x30, skins);
            QImage sheet(box.size(), QImage::Format_RGB32);
            QPainter p(&sheet);
            box.Skin().Draw(p, 0, 0, box.width(), box.height(), 0, 0);
            for (auto* b : {box.Ok(), box.Yes(), box.No()})
                b->show();
            using skin::CMsgBoxDlg;
            for (int id : {CMsgBoxDlg::IDC_ICON_ERROR, CMsgBoxDlg::IDC_ICON_WARNING,
                           CMsgBoxDlg::IDC_ICON_INFO, CMsgBoxDlg::IDC_ICON_ASK})
                box.Icon(id)->hide();
            box.Icon(CMsgBoxDlg::IDC_ICON_WARNING)->show();
            p.end();
            QImage shot = box.grab().toImage();
            ok = ok && shot.save(out + "/IDD_MSGBOX_DIALOG-" + lang + ".png");
        }
        for (const builder::FormDialog& d : builder::FormDialogs())
            ok = ok && builder::FormPreview(d).save(
                           QString("%1/%2-%3.png").arg(out, QString::fromStdString(d.name), lang));
        for (const Variant& v : variants)
        {
            skin::CMsgBoxDlg box(nullptr, res::LoadString(v.text), v.style, skins);
            QImage shot = box.grab().toImage();
            ok = ok && shot.save(QString("%1/IDD_MSGBOX_DIALOG_%2-%3.png").arg(out, v.name, lang));
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QString out, preview, skins;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        if (!std::strcmp(argv[i], "--out"))
            out = argv[i + 1];
        else if (!std::strcmp(argv[i], "--preview"))
            preview = argv[i + 1];
        else if (!std::strcmp(argv[i], "--skins"))
            skins = argv[i + 1];
    }
    if (out.isEmpty() && preview.isEmpty())
    {
        std::fprintf(stderr, "usage: skin-builder --out DIR | --preview DIR [--skins DIR]\n");
        return 2;
    }
    if (!out.isEmpty() && !Build(out))
    {
        std::fprintf(stderr, "skin-builder: cannot write the skins into %s\n", qPrintable(out));
        return 1;
    }
    if (!preview.isEmpty())
    {
        if (skins.isEmpty())
        {
            skins = out.isEmpty() ? QDir::tempPath() + "/vark-skins-preview" : out;
            if (out.isEmpty() && !Build(skins)) return 1;
        }
        if (!Preview(skins, preview))
        {
            std::fprintf(stderr, "skin-builder: cannot write previews into %s\n",
                         qPrintable(preview));
            return 1;
        }
    }
    return 0;
}
