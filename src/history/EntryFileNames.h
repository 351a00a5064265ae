#pragma once

#include <QString>
#include <QUuid>

// The names EntryFiles gives the files in data/, and the test that tells
// them from anything else there.
namespace ondrel::entryfiles {

bool isOurs(const QString& name);
QString idName(const QUuid& id);
QString imageName(const QUuid& id, const QString& type);
QString thumbnailName(const QUuid& id);
QString formatName(const QUuid& id, qsizetype at);

} // namespace ondrel::entryfiles
