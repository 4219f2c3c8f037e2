#pragma once
#include "core/Database.h"

#include <QString>

// The template library's records: body parts (bodypart), their categories
// (assortpart) and the templates filed under them (templet). Every statement
// the template window needs is here, each addressing rows by their keys, so
// parts or categories of the same name are never mixed up. The functions
// return what happened and show nothing; the window decides what to show.
namespace TemplateStore {

// The fields of a template a user writes: its category (assortid) and its
// three texts.
struct Fields {
    qint64 category = 0;
    QString name;        // checkname, the exam name
    QString findings;    // checksymptom
    QString diagnosis;   // checkconclusion
};

// Every body part in key order: partid, partname.
QueryResult Parts();
// Every category whose part exists, in key order: assortid, assortname, partid.
QueryResult Categories();
// The categories of one part in key order: assortid, assortname.
QueryResult CategoriesOf(qint64 part);

// The templates of one part (through their categories) or of one category,
// in key order: mbid, checkconclusion.
enum class Node {
    Part,
    Category
};
QueryResult TemplatesOf(Node node, qint64 key);

// One template with its category and part: mbid, assortid, checkname,
// checksymptom, checkconclusion, assortname, partname, partid. No rows when
// the template, its category or its part is gone.
QueryResult Template(qint64 key);

// Files a new template; *key is then the key the database gave it.
QueryResult Insert(const Fields& fields, qint64* key);
// Rewrites the template with this key, its category included; a key without
// a row (deleted meanwhile) fails with number NoRows and changes nothing.
QueryResult Update(qint64 key, const Fields& fields);
QueryResult Delete(qint64 key);
}
