#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "Clipboard.h"

#include <atomic>
#include <functional>
#include <optional>

// What clipboard data means, whatever carries it (an X11 selection, a
// Wayland offer): targets that only describe a selection, URL lists, and
// which image to take and how to decode it without letting it run away.
namespace ondrel::platform {

// How long a read waits for another program, in milliseconds: for the
// list of types, for each piece of data, and for an image to decode.
struct ClipboardReadBudgets
{
    int targetsMs = 200;
    int dataMs = 2000;
    int decodeMs = 3000;
};

// Vector images are drawn no larger than this on either side: the history
// shows thumbnails, and drawing at the declared size can take minutes.
inline constexpr int kVectorImageSide = 1024;

// Targets that describe a selection rather than hold its data.
bool isMetaTarget(const QString& type);

// The URLs of a text/uri-list (comment lines and invalid entries left out).
QList<QUrl> parseUriList(const QByteArray& bytes);

// The image types among `offered`, in the order they are tried: PNG, other
// raster types, vector ones last.
QStringList imageTypesInOrder(const QStringList& offered);

// Decodes `bytes` of `type` on a thread of its own and waits at most
// `budgetMs`, or until `stop` is set. A decode that overruns is left to
// finish unobserved (it cannot be stopped) and said on the console; while
// one runs, further vector images are skipped rather than piling up.
std::optional<QImage> decodeImageWithin(const QByteArray& bytes, const QString& type, int budgetMs,
                                        const std::atomic<bool>& stop);

// What a capture takes from the types a clipboard offers: the secret hint
// (nothing more when it says so, or cannot be read), else text, else an
// image, else a URL list. `fetch` gives a type's bytes, or none; once
// `gaveUp` is set (the owner stopped answering) nothing more is asked.
ClipboardContents readOffered(const QStringList& types,
                              const std::function<std::optional<QByteArray>(const QString& type)>& fetch,
                              const bool& gaveUp, int decodeMs, const std::atomic<bool>& stop);

// Decodes that overran their budget and still run. A quitting program must
// not wait for them, nor tear down what they use, while this is above zero.
int abandonedImageDecodes();

} // namespace ondrel::platform
