// Laying a document out: the parts chosen, the measures of the paint device
// kept or made, then the two phases, measuring (papermeasure.cpp) and
// breaking into pages (paperpages.cpp). Painting is in paperpaint.cpp.
#include "export/paperlayout.h"

#include <QPaintDevice>

namespace Paper {

namespace {

// The table rows of the parts [first, end), a text counting as one row:
// what the progress of laying out counts to.
int rowCount(const Document &document, int first, int end)
{
    int rows = 0;
    for (int p = first; p < end; ++p)
        for (const auto &block : document.parts[static_cast<size_t>(p)].blocks)
            rows += std::holds_alternative<Table>(block)
                        ? static_cast<int>(std::get<Table>(block).rows.size())
                        : 1;
    return rows;
}

} // namespace

Measures::Measures()
    : d(std::make_unique<Data>())
{
}

Measures::~Measures() = default;

Layout::Layout(std::unique_ptr<Data> data)
    : d(std::move(data))
{
}

Layout::~Layout() = default;

std::unique_ptr<Layout> Layout::make(const Document &document, const QPaintDevice *device, qreal pageWidth,
                                     qreal pageHeight, const Progress &progress, int onlyPart,
                                     Measures *measures)
{
    auto data = std::make_unique<Data>();
    data->document = &document;
    data->pageWidth = pageWidth;
    data->pageHeight = pageHeight;
    data->dpi = device->logicalDpiY();
    data->firstPart = onlyPart < 0 ? 0 : onlyPart;
    data->endPart = onlyPart < 0 ? static_cast<int>(document.parts.size()) : onlyPart + 1;

    // One shaper per font for the whole document, or for every part laid
    // out with the same measures.
    Measures own;
    if (measures && !measures->d->device)
        measures->d->device = device;
    if (!measures || measures->d->device != device) {
        measures = &own;
        measures->d->device = device;
    }

    Preparing preparing(progress, rowCount(document, data->firstPart, data->endPart));
    if (!measureBlocks(*data, *measures->d, preparing) || !breakPages(*data, preparing))
        return nullptr;
    return std::unique_ptr<Layout>(new Layout(std::move(data)));
}

int Layout::pageCount() const
{
    return static_cast<int>(d->pages.size());
}

std::vector<std::vector<QString>> Layout::tableRows(int page) const
{
    std::vector<std::vector<QString>> out;
    for (const Item &item : d->pages[static_cast<size_t>(page)].items) {
        const int table = d->blockTable[static_cast<size_t>(item.block)];
        if (table < 0)
            continue;
        const Table &source = *d->tables[static_cast<size_t>(table)].source;
        const Row &row = item.row < 0 ? source.header : source.rows[static_cast<size_t>(item.row)];
        std::vector<QString> texts;
        for (const Cell &cell : row)
            texts.push_back(cell.text);
        out.push_back(std::move(texts));
    }
    return out;
}

} // namespace Paper
