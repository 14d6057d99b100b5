// Small helpers for writing skin descriptions and loading the labels they draw.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <string>

#include "res/strings.h"

namespace builder
{

// A string of the table in the thread's language.
inline QString Str(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}
// A point or a size as the description writes it: two numbers.
inline std::string Pt(QPoint p)
{
    return std::to_string(p.x()) + " " + std::to_string(p.y());
}
inline std::string Sz(QSize s)
{
    return std::to_string(s.width()) + " " + std::to_string(s.height());
}

} // namespace builder
