#pragma once

#include <QStringView>

namespace tarnix::service {

// How alike two texts are, from 0 to 100: 100 × (1 − d / n), where d is the
// edit distance between them in UTF-16 code units (insertions, deletions and
// substitutions, each costing one) and n the longer one's length; two empty
// texts are alike (100). Below `threshold` the answer is -1: the distance is
// only computed within the band the threshold allows, so that a text far
// from another costs little (a length difference alone may decide it).
int similarityScore(QStringView a, QStringView b, int threshold = 0);

} // namespace tarnix::service
