// The program's icon for the desktop: the product mark of the skins (a level meter in a
// rounded square) on a graphite tile, as an SVG text and as pictures of any size drawn from
// the same shapes.
#pragma once

#include <QImage>
#include <QString>

namespace builder
{

QString AppIconSvg();
QImage AppIconPicture(int size);

} // namespace builder
