#pragma once

#include <QtGlobal>
#include <optional>

// The progress bar arithmetic of the child windows. Products and quotients
// are 32-bit signed, the quotient truncating toward zero, as the engines'
// events deliver them; a position outside 0..100 is held by the bar at the
// nearer end.
namespace progress {

// (progress * 100) div progressMax in 32 bits; progressMax must not be 0.
qint32 scaled(qint32 progress, qint32 progressMax);

// Where the bar holds a position.
int clampToBar(qint32 position);

// IE rule: a new position, or nullopt to leave the bar as it is.
std::optional<qint32> ieNewPosition(qint32 progress, qint32 progressMax);

// Gecko rule for the position: only when both values are non-zero.
std::optional<qint32> geckoNewPosition(qint32 progress, qint32 progressMax);

}  // namespace progress
