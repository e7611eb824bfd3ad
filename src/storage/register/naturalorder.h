#ifndef NATURALORDER_H
#define NATURALORDER_H

#include <QStringView>

// The natural order of unit numbers (Function::compareStrings sorts by it).
namespace NaturalOrder {

// The leading number of a text as the natural order reads it.
int leadingNumber(QStringView s);

} // namespace NaturalOrder

#endif // NATURALORDER_H
