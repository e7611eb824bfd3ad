#ifndef CARDODT_H
#define CARDODT_H

#include "export/cardcontent.h"

#include <QByteArray>

#include <vector>

// The service cards as an OpenDocument text file: each card's title, its
// particulars as a table of two columns, a heading and a table per section
// with orders (the header row repeated on every page), the date made; every
// card but the first begins a page.
namespace CardOdt {

// The file's content.xml. The tables' columns are as wide as their contents
// ask, no word broken where the page has room; a section's heading and
// header row are kept with its first rows, and no row is split over two
// pages.
QByteArray content(const std::vector<CardContent::Card> &cards);

} // namespace CardOdt

#endif // CARDODT_H
