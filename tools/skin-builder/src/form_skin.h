// Skins of the form-like dialogs, generated from a small layout table: labels drawn into the
// background, fields, drop-down lists and buttons with their state pictures in a strip below.
#pragma once

#include <QImage>
#include <QRect>
#include <string>
#include <vector>

namespace builder {

struct FormControl
{
    enum Kind { Label, Edit, Combo, Button, Close } kind;
    std::string name; // section name (empty for labels)
    QRect rect;
    uint32_t text = 0; // string number of a label or button caption
    bool primary = false;
};

struct FormDialog
{
    std::string name; // IDD_...
    int bitmap, description;
    bool descriptionPerLanguage;
    QSize size;
    uint32_t title;
    std::vector<FormControl> controls;
};

const std::vector<FormDialog>& FormDialogs();
// In the thread's language. The description's coordinates do not depend on the language.
std::string FormDescription(const FormDialog& d);
QImage FormBitmap(const FormDialog& d);
// The background with every control's normal picture in place.
QImage FormPreview(const FormDialog& d);
// Labels that do not fit their rectangle in the thread's language.
std::vector<std::string> FormOverflows(const FormDialog& d);

} // namespace builder
