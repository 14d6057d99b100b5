// Skins of the form-like dialogs and the main window, generated from layout tables (in
// form_layouts.cpp): labels, headings, panels and fields drawn into the background, and every
// control's state pictures packed below it. A state picture is the control painted in that
// state over the background and cut out where the control sits, so every picture blends with
// what is under it.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "painter_kit.h"

namespace builder
{

struct FormControl
{
    enum Kind
    {
        // background only
        Label,   // a label; `arg` is a printf argument of the text when non-zero
        Heading, // a group heading with a hairline to the end of its rectangle
        Panel,   // a raised panel
        Well,    // an inset field behind a text control
                 // controls with a section
        Static,
        Edit,
        Combo,
        Button,
        IconButton,
        Close,
        Minimize,
        Check,
        Toggle,
        Radio,
        Slider,
        Indicator,
        Progress,
        Image,
        Link,
        Spin,
        Date,
        Time,
        Menu,
        List
    } kind;
    std::string name; // section name (empty for background kinds)
    QRect rect;       // in the dialog; a spin's rectangle holds both halves
    uint32_t text = 0;
    int flags = 0;
    Icon icon = Icon::None;
    int arg = 0;
    // a typical value, drawn only in previews: text, or a per cent for sliders, indicators
    // and progress bars
    const char* sample = nullptr;
    // a text of the table drawn as the sample, before `sample` when both are given
    uint32_t sampleText = 0;
};

namespace flag
{
constexpr int kPrimary = 1, // the accent button
    kEnd = 2,               // text at the end of its rectangle (right, left in Arabic)
    kCenter = 4,            // text centred
    kFigure = 8,            // figures in the display font
    kSecondary = 16,        // secondary text colour
    kLarge = 32,            // a large figure or title
    kNoPreview = 128,       // left out of previews (hidden at start)
    kLeft = 256,            // text at the left in every language (a unit after its field)
    kWrap = 512,            // a label of several lines, wrapped at words, from the top
    kAccent = 1024;         // a static that draws with the accent colour too (accent_color)
} // namespace flag

struct FormDialog
{
    std::string name; // IDD_...
    int bitmap, description;
    bool descriptionPerLanguage;
    QSize size;
    uint32_t title;
    int footer; // y of the button band's top edge, 0 for none
    std::vector<FormControl> controls;
};

// Every generated dialog but the message box.
const std::vector<FormDialog>& FormDialogs();
// In the thread's language. Only the descriptions kept per language may depend on it.
std::string FormDescription(const FormDialog& d);
QImage FormBitmap(const FormDialog& d);
// The background with every control's normal picture in place and sample values.
QImage FormPreview(const FormDialog& d);
// Texts that do not fit their rectangle in the thread's language.
std::vector<std::string> FormOverflows(const FormDialog& d);

} // namespace builder
