#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "Clipboard.h"
#include "VectorImage.h"

#include <atomic>
#include <functional>
#include <optional>

// What clipboard data means, whatever carries it (an X11 selection, a
// Wayland offer): targets that only describe a selection, URL lists, and
// which image to take and how to decode it without letting it run away.
namespace ondrel::platform {

// Targets that describe a selection rather than hold its data.
bool isMetaTarget(const QString& type);

// The URLs of a text/uri-list (comment lines and invalid entries left out).
QList<QUrl> parseUriList(const QByteArray& bytes);

// The image types among `offered`, in the order they are tried: PNG, other
// raster types, vector ones last.
QStringList imageTypesInOrder(const QStringList& offered);

// Decodes `bytes` of `type` on the calling thread. A drawing (SVG) is
// painted band by band and given up, with one console line, once it takes
// longer than `budgetMs` or `stop` is set; a raster image is bounded by the
// image reader's allocation limit.
std::optional<QImage> decodeImageWithin(const QByteArray& bytes, const QString& type, int budgetMs,
                                        const std::atomic<bool>& stop);

// What a capture takes from the types a clipboard offers: the secret hint
// (nothing more when it says so, or cannot be read), else text, else an
// image, else a URL list. `fetch` gives a type's bytes, or none; once
// `gaveUp` is set (the owner stopped answering) nothing more is asked.
ClipboardContents readOffered(const QStringList& types,
                              const std::function<std::optional<QByteArray>(const QString& type)>& fetch,
                              const bool& gaveUp, int decodeMs, const std::atomic<bool>& stop);

} // namespace ondrel::platform
