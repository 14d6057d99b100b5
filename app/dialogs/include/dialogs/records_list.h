// The records list of the main window: the nine columns of a record's row, one row per record
// in the order the list was loaded (no sorting), several rows selectable, a tool tip per row.
// Each row carries its record's index on the recorder and its header, so playback, export and
// signatures take the record straight from the row. Placement and colours come from the skin.
#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <vector>

#include "device/record_info.h"
#include "drive/drive_record.h"
#include "skin/skinned_window.h"
#include "transfer/record_row.h"

namespace dialogs
{

class CRecordsList : public skin::SkinnedControl<QTreeWidget>
{
public:
    explicit CRecordsList(skin::SkinManager* manager, QWidget* parent = nullptr);
    void ApplySkin() override;

    // Inserts the row of record `index` at `position` (clamped to the list) and scrolls it
    // into view.
    void InsertRecord(int position, int index, const vark::RecordInfo& info);
    // The same for file `index` of a drive recorder; its tool tip also says where the start
    // time came from.
    void InsertDriveRecord(int position, int index, const drive::DriveRecord& record);
    void Clear()
    {
        lastInserted_ = nullptr;
        clear();
    }
    int RowCount() const { return topLevelItemCount(); }
    int RecordIndex(int row) const;
    vark::RecordInfo Record(int row) const;
    QString Text(int row, int column) const;
    // Rows selected by the user, in list order.
    std::vector<int> SelectedRows() const;
    // The current-row marker in column 0.
    void SetCurrentMarker(int row, bool on);
    bool HasCurrentMarker(int row) const;

    // Column widths in the system's dialog units, turned into pixels by the list's font.
    static constexpr int kColumnUnits[9] = {30, 30, 30, 105, 75, 75, 50, 75, 95};
    // How soon a new row is scrolled into view.
    static constexpr int kScrollDelayMs = 40;

private:
    QTreeWidgetItem* InsertRow(int position, int index, const vark::RecordRow& row,
                               const QString& note);
    void ApplyColours();
    QTimer scrollTimer_;
    QTreeWidgetItem* lastInserted_ = nullptr;
    QColor text_{0xE8, 0xEA, 0xED}, bg_{0x15, 0x18, 0x1C}, selText_{0x15, 0x18, 0x1C},
        selBg_{0x2E, 0xC4, 0xB6};
};

} // namespace dialogs
