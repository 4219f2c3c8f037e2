#pragma once
#include "core/Database.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

// The phrase library as the report boxes use it: the phrases that hold the
// character before the caret, how their labels flow over the phrase panel,
// and how a chosen text goes into a box. Lengths are twips; texts count
// UTF-16 units, a surrogate pair being one character.
namespace PhraseLookup {

// The key of a lookup: the character before position p of text (a surrogate
// pair whole); empty when p is 0.
QString KeyBefore(const QString& text, int p);

// A LIKE pattern that finds key anywhere in a text, literally: %, _ and \ in
// the key are escaped with \ (the statement says ESCAPE '\').
QString LikePattern(const QString& key);

// The phrases (zymc, name or fl holding key) in id order: 0 with rows, 1000
// for none, or the failure.
QueryResult Find(const QString& key);

// Labels kept for n phrases: the smallest multiple of 50 not below n.
int LabelsNeeded(int n);

// Where the phrase labels go on a panel width wide: 120 between labels, a new
// row when the next one would not fit, 30 between rows; a phrase wider than
// the panel stands alone. measure gives a caption's width and height.
struct Flow {
    QVector<QPoint> positions;   // left, top of each label
    int height = 0;              // the panel's height, covering the last row
};
using Measure = std::function<QSize(const QString&)>;
Flow LayOut(const QStringList& captions, int width, const Measure& measure);

// A text of insertedLength put into a box whose text is length long, caret
// p, selection length m: at the caret, replacing the selection; with
// dropBefore > 0 (the lookup's key, for the first phrase after a lookup) that
// many characters before the caret go too. At caret 0 the text goes in front
// and the selected characters stay. The range [from, to) of the old text is
// replaced; the caret ends at caret.
struct Insertion {
    int from = 0, to = 0;
    int caret = 0;
};
Insertion Insert(int length, int p, int m, int insertedLength, int dropBefore = 0);
}
