#pragma once
#include "core/Database.h"
#include "report/ReportRenderer.h"

#include <QStringList>
#include <QVariant>

// Reading one saved report for the report page.
namespace ReportData {

// The captions (xmmc) of the report items in xmid order, as the item caption list
// of 24 entries (entries past the table's rows stay empty). A failed query is returned.
QueryResult loadItemCaptions(QStringList& captions);

// Reads report ctid into the report value list (fields 1..24) and writes its
// pictures (fields 29..32) to the preview's owner-only picture files. Earlier preview picture
// files are deleted first. Returns the query's result; number 1000 means no such report.
QueryResult loadReport(qint64 ctid, ReportContent& content);

// The preview's own picture files img/rptview1.jpg .. img/rptview4.jpg (k = 1..4); they
// are not the capture store's files, which the editor may still be showing.
QString previewPictureFile(int k);
// Removes the preview's picture files, decrypted copies that are not to stay
// on disk once the preview closes.
void removePreviewPictures();

// A number as the page prints it: a blank before a non-negative number, "-" before a
// negative one, no fixed decimals. Null gives ""; a text that is no number is kept.
QString signedNumberText(const QVariant& v);
}
