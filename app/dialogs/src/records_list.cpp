#include "dialogs/records_list.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include "dialog_text.h"
#include "platform/thread_locale.h"
#include "transfer/record_row.h"

Q_DECLARE_METATYPE(vark::RecordInfo)

namespace dialogs
{

namespace
{

constexpr int kIndexRole = Qt::UserRole;
constexpr int kInfoRole = Qt::UserRole + 1;
constexpr int kMarkerRole = Qt::UserRole + 2;

// The start of a record in the user's short date format and the time with seconds.
std::wstring StartText(const platform::AutoDate& start)
{
    platform::DateParts d;
    if (!start.GetParts(d)) return L"";
    const QLocale locale = QLocale::system();
    QString time = locale.timeFormat(QLocale::LongFormat);
    // the long time format may name the time zone, which a record does not have
    time.remove(QLatin1Char('t')).replace(QLatin1String("  "), QLatin1String(" "));
    const QString text = locale.toString(QDate(d.year, d.month, d.day), QLocale::ShortFormat) +
                         QLatin1Char(' ') +
                         locale.toString(QTime(d.hour, d.minute, d.second), time.trimmed());
    return text.toStdWString();
}

// The marker of the current row: a small play triangle in the text colour, which reads on
// the list and on the selection alike.
QIcon MarkerIcon(const QColor& colour)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(3, 2);
    tri.lineTo(10, 6);
    tri.lineTo(3, 10);
    tri.closeSubpath();
    p.fillPath(tri, colour);
    return QIcon(pm);
}

} // namespace

CRecordsList::CRecordsList(skin::SkinManager* manager, QWidget* parent)
    : SkinnedControl(manager, parent)
{
    setColumnCount(9);
    QStringList titles;
    for (uint32_t c = 0; c < 9; ++c)
        titles << dialogs::Text(res::ids::kColumnNumber + c);
    setHeaderLabels(titles);
    const int unit = QFontMetrics(font()).averageCharWidth();
    for (int c = 0; c < 9; ++c)
        setColumnWidth(c, kColumnUnits[c] * unit / 4);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setFrameShape(QFrame::NoFrame);
    scrollTimer_.setSingleShot(true);
    scrollTimer_.setInterval(kScrollDelayMs);
    QObject::connect(&scrollTimer_, &QTimer::timeout, this,
                     [this]
                     {
                         if (lastInserted_ && indexOfTopLevelItem(lastInserted_) >= 0)
                             scrollToItem(lastInserted_);
                     });
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(true);
    // Arabic reads the columns from the right, as the menu bar does
    if (platform::PrimaryLanguage(platform::GetThreadLocale()) == 1)
        setLayoutDirection(Qt::RightToLeft);
    ApplyColours();
}

void CRecordsList::ApplySkin()
{
    skin::KeyTable* k = OwnSection();
    if (!k) return;
    ReadPlacement(*k);
    skin::SkinManager::ReadColor(*k, "text_color", text_);
    skin::SkinManager::ReadColor(*k, "bg_color", bg_);
    skin::SkinManager::ReadColor(*k, "selected_text_color", selText_);
    skin::SkinManager::ReadColor(*k, "selected_bg_color", selBg_);
    ApplyColours();
}

void CRecordsList::ApplyColours()
{
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive})
    {
        pal.setColor(group, QPalette::Base, bg_);
        pal.setColor(group, QPalette::AlternateBase, bg_.lighter(112));
        pal.setColor(group, QPalette::Window, bg_);
        pal.setColor(group, QPalette::Text, text_);
        pal.setColor(group, QPalette::Highlight, selBg_);
        pal.setColor(group, QPalette::HighlightedText, selText_);
    }
    setPalette(pal);
    setAlternatingRowColors(true);
    // the header reads as a raised band over the inset list
    header()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: %1; color: %2; border: none;"
                       " border-right: 1px solid %3; border-bottom: 1px solid %3;"
                       " padding: 2px 4px; }")
            .arg(bg_.lighter(150).name(), text_.darker(120).name(), bg_.lighter(200).name()));
}

void CRecordsList::InsertRecord(int position, int index, const vark::RecordInfo& info)
{
    QTreeWidgetItem* item = InsertRow(
        position, index,
        vark::RecordRowTexts(
            index, info, [](uint32_t id) { return dialogs::Text(id).toStdWString(); }, StartText),
        {});
    item->setData(0, kInfoRole, QVariant::fromValue(info));
}

void CRecordsList::InsertDriveRecord(int position, int index, const drive::DriveRecord& record)
{
    InsertRow(
        position, index,
        vark::DriveRecordRowTexts(
            index, record, [](uint32_t id) { return dialogs::Text(id).toStdWString(); }, StartText),
        dialogs::Text(vark::StartFromTextId(record.startFrom)));
}

QTreeWidgetItem* CRecordsList::InsertRow(int position, int index, const vark::RecordRow& row,
                                         const QString& note)
{
    auto* item = new QTreeWidgetItem;
    QString tip;
    for (int c = 0; c < vark::kRecordColumns; ++c)
    {
        QString text = QString::fromStdWString(row[size_t(c)]);
        // a date that starts with a figure would be reordered in a right-to-left list; the
        // left-to-right mark keeps it one run
        if (c == 3 && layoutDirection() == Qt::RightToLeft && !text.isEmpty())
            text.prepend(QChar(0x200E));
        item->setText(c, text);
        if (!text.isEmpty())
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + headerItem()->text(c) +
                   QStringLiteral(": ") + text;
    }
    if (!note.isEmpty()) tip += QStringLiteral("\n") + note;
    for (int c = 0; c < vark::kRecordColumns; ++c)
        item->setToolTip(c, tip);
    item->setData(0, kIndexRole, index);
    insertTopLevelItem(std::clamp(position, 0, RowCount()), item);
    // Scrolling lays out every row, so rows that arrive quickly are brought into view together,
    // within a frame or two of the last one.
    lastInserted_ = item;
    if (!scrollTimer_.isActive()) scrollTimer_.start();
    return item;
}

int CRecordsList::RecordIndex(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kIndexRole).toInt() : -1;
}

vark::RecordInfo CRecordsList::Record(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kInfoRole).value<vark::RecordInfo>() : vark::RecordInfo{};
}

QString CRecordsList::Text(int row, int column) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

std::vector<int> CRecordsList::SelectedRows() const
{
    std::vector<int> rows;
    for (int r = 0; r < RowCount(); ++r)
        if (topLevelItem(r)->isSelected()) rows.push_back(r);
    return rows;
}

void CRecordsList::SetCurrentMarker(int row, bool on)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item) return;
    item->setData(0, kMarkerRole, on);
    item->setIcon(0, on ? MarkerIcon(text_) : QIcon());
}

bool CRecordsList::HasCurrentMarker(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->data(0, kMarkerRole).toBool();
}

} // namespace dialogs
