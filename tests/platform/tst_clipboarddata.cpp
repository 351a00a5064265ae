#include "ClipboardData.h"
#include "TestSupport.h"

#include <QTest>

using namespace ondrel;
using platform::OfferedData;

namespace {

// What the owner answers for a type: its bytes, or one of the markers
// "<failed>", "<silent>", "<huge>", "<large>" (past the limit of a text's
// other forms); "<png>", "<bmp>" and "<svg>" are images
// of 1, 2 and 3 pixels a side.
OfferedData answer(const QByteArray& spec)
{
    if (spec == "<failed>")
        return {OfferedData::Status::failed, {}};
    if (spec == "<silent>")
        return {OfferedData::Status::timedOut, {}};
    if (spec == "<huge>")
        return {OfferedData::Status::tooLarge, {}};
    if (spec == "<trickle>")
        return {OfferedData::Status::tooSlow, {}};
    if (spec == "<newer>")
        return {OfferedData::Status::superseded, {}};
    if (spec == "<large>")
        return {OfferedData::Status::ok, QByteArray(platform::kMaxFormatBytes + 1, 'x')};
    if (spec == "<png>")
        return {OfferedData::Status::ok, test::encodedImage(test::filledImage({1, 1}, Qt::red), "PNG")};
    if (spec == "<bmp>")
        return {OfferedData::Status::ok, test::encodedImage(test::filledImage({2, 2}, Qt::red), "BMP")};
    if (spec == "<svg>")
        return {OfferedData::Status::ok,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"3\"><rect width=\"3\" "
                "height=\"3\" fill=\"red\"/></svg>"};
    return {OfferedData::Status::ok, spec};
}

QString recorded(const platform::ClipboardContents& contents)
{
    if (contents.superseded)
        return QStringLiteral("superseded");
    if (contents.secret)
        return QStringLiteral("secret");
    if (!contents.tooLargeType.isEmpty())
        return QStringLiteral("too large ") + contents.tooLargeType;
    if (contents.text && !contents.text->isEmpty()) {
        QString text = QStringLiteral("text ") + *contents.text;
        for (const platform::ClipboardFormat& format : contents.formats)
            text += QStringLiteral(" + %1 %2").arg(format.type, QString::fromUtf8(format.bytes));
        return text;
    }
    if (contents.image)
        return QStringLiteral("image %1x%2").arg(contents.image->width()).arg(contents.image->height());
    if (contents.fileURLs)
        return QStringLiteral("urls ") + QUrl::toStringList(*contents.fileURLs).join(u' ');
    return QStringLiteral("nothing");
}

} // namespace

// What a copy records, in the order every desktop's clipboard reads it.
class TestClipboardData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { test::failOnUnexpectedWarnings(); }
    void readOrder_data();
    void readOrder();
};

void TestClipboardData::readOrder_data()
{
    QTest::addColumn<QStringList>("offered"); // "type answer" (see answer())
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("result");
    const QString hint = QString::fromLatin1(platform::kSecretHintType);
    const QString utf8 = QStringLiteral("text/plain;charset=utf-8");

    QTest::newRow("secret hint first, nothing else read")
        << QStringList{utf8 + QStringLiteral(" password"), hint + QStringLiteral(" secret")}
        << QStringList{hint} << QStringLiteral("secret");
    QTest::newRow("unreadable hint taken as meant")
        << QStringList{utf8 + QStringLiteral(" password"), hint + QStringLiteral(" <failed>")}
        << QStringList{hint} << QStringLiteral("secret");
    QTest::newRow("hint of another value")
        << QStringList{utf8 + QStringLiteral(" shown"), hint + QStringLiteral(" public")}
        << QStringList{hint, utf8} << QStringLiteral("text shown");
    QTest::newRow("UTF-8 by its MIME name before the X11 names")
        << QStringList{QStringLiteral("UTF8_STRING x11"), QStringLiteral("STRING latin"),
                       QStringLiteral("TEXT text"), utf8 + QStringLiteral(" mime"),
                       QStringLiteral("text/plain plain")}
        << QStringList{utf8} << QStringLiteral("text mime");
    QTest::newRow("UTF8_STRING before plain text")
        << QStringList{QStringLiteral("text/plain plain"), QStringLiteral("UTF8_STRING x11")}
        << QStringList{QStringLiteral("UTF8_STRING")} << QStringLiteral("text x11");
    QTest::newRow("leading byte-order mark kept")
        << QStringList{utf8 + QStringLiteral(" ") + QString::fromLatin1("\xef\xbb\xbfmarked")}
        << QStringList{utf8} << QStringLiteral("text \uFEFFmarked");
    QTest::newRow("HTML kept beside the text")
        << QStringList{QStringLiteral("text/html <b>fish</b> &amp; chips"),
                       QStringLiteral("text/plain fish & chips")}
        << QStringList{QStringLiteral("text/plain"), QStringLiteral("text/html")}
        << QStringLiteral("text fish & chips + text/html <b>fish</b> &amp; chips");
    QTest::newRow("RTF kept beside the text")
        << QStringList{QStringLiteral("UTF8_STRING x"), QStringLiteral("text/rtf {\\rtf1 x}")}
        << QStringList{QStringLiteral("UTF8_STRING"), QStringLiteral("text/rtf")}
        << QStringLiteral("text x + text/rtf {\\rtf1 x}");
    QTest::newRow("HTML too large, the text without it")
        << QStringList{QStringLiteral("text/html <large>"), QStringLiteral("text/plain t")}
        << QStringList{QStringLiteral("text/plain"), QStringLiteral("text/html")} << QStringLiteral("text t");
    const QString page =
        QStringLiteral("<!--StartFragment--><p>Fish &amp; chips</p><p>one&nbsp;two<br>three"
                       "</p><table><tr><td>a</td><td>b</td></tr></table><script>x()</script>");
    QTest::newRow("HTML alone, the text it shows")
        << QStringList{QStringLiteral("text/html ") + page} << QStringList{QStringLiteral("text/html")}
        << QStringLiteral("text Fish & chips\n\none two\nthree\n\na\tb + text/html ") + page;
    const QString odd =
        QStringLiteral("<style>p{color:red}</style><pre>\n  a  b</pre>&#x1F600;&eacute;&#0; x "
                       "&lt; y &bogus; <3 <unclosed");
    QTest::newRow("HTML alone: preformatted, numbered entities, stray marks")
        << QStringList{QStringLiteral("text/html ") + odd} << QStringList{QStringLiteral("text/html")}
        << QStringLiteral("text   a  b\n\U0001F600\u00e9\uFFFD x < y &bogus; <3 + text/html ") + odd;
    QTest::newRow("refused text type, the next one")
        << QStringList{utf8 + QStringLiteral(" <failed>"), QStringLiteral("text/plain plain")}
        << QStringList{utf8, QStringLiteral("text/plain")} << QStringLiteral("text plain");
    QTest::newRow("text before image and a link")
        << QStringList{QStringLiteral("image/png <png>"), QStringLiteral("text/uri-list https://a/"),
                       QStringLiteral("text/plain words")}
        << QStringList{QStringLiteral("text/uri-list"), QStringLiteral("text/plain")}
        << QStringLiteral("text words");
    QTest::newRow("files before their paths as text")
        << QStringList{QStringLiteral("text/plain /a"),
                       QStringLiteral("text/uri-list file:///a\r\nfile:///b%20c")}
        << QStringList{QStringLiteral("text/uri-list")} << QStringLiteral("urls file:///a file:///b c");
    QTest::newRow("a file and a link are text")
        << QStringList{QStringLiteral("text/plain t"),
                       QStringLiteral("text/uri-list file:///a\r\nhttps://b/")}
        << QStringList{QStringLiteral("text/uri-list"), QStringLiteral("text/plain")}
        << QStringLiteral("text t");
    QTest::newRow("empty text, then the image")
        << QStringList{QStringLiteral("text/plain "), QStringLiteral("image/png <png>")}
        << QStringList{QStringLiteral("text/plain"), QStringLiteral("image/png")}
        << QStringLiteral("image 1x1");
    QTest::newRow("PNG before other raster types, SVG last")
        << QStringList{QStringLiteral("image/svg+xml <svg>"), QStringLiteral("image/bmp <bmp>"),
                       QStringLiteral("image/png <png>")}
        << QStringList{QStringLiteral("image/png")} << QStringLiteral("image 1x1");
    QTest::newRow("raster before SVG")
        << QStringList{QStringLiteral("image/svg+xml <svg>"), QStringLiteral("image/bmp <bmp>")}
        << QStringList{QStringLiteral("image/bmp")} << QStringLiteral("image 2x2");
    QTest::newRow("undecodable image, the next type")
        << QStringList{QStringLiteral("image/png not a png"), QStringLiteral("image/svg+xml <svg>")}
        << QStringList{QStringLiteral("image/png"), QStringLiteral("image/svg+xml")}
        << QStringLiteral("image 3x3");
    QTest::newRow("URL list last")
        << QStringList{QStringLiteral("text/uri-list file:///a\r\n# note\r\nhttps://b/"),
                       QStringLiteral("image/png <failed>")}
        << QStringList{QStringLiteral("image/png"), QStringLiteral("text/uri-list")}
        << QStringLiteral("urls file:///a https://b/");
    QTest::newRow("silent owner ends the read")
        << QStringList{utf8 + QStringLiteral(" <silent>"), QStringLiteral("text/plain plain"),
                       QStringLiteral("image/png <png>")}
        << QStringList{utf8} << QStringLiteral("nothing");
    QTest::newRow("too large ends the read")
        << QStringList{QStringLiteral("text/plain <huge>"), QStringLiteral("image/png <png>")}
        << QStringList{QStringLiteral("text/plain")} << QStringLiteral("too large text/plain");
    QTest::newRow("trickling owner ends the read")
        << QStringList{QStringLiteral("text/plain <trickle>"), QStringLiteral("image/png <png>")}
        << QStringList{QStringLiteral("text/plain")} << QStringLiteral("nothing");
    QTest::newRow("newer copy ends the read")
        << QStringList{QStringLiteral("text/plain <newer>"), QStringLiteral("image/png <png>")}
        << QStringList{QStringLiteral("text/plain")} << QStringLiteral("superseded");
    QTest::newRow("nothing usable") << QStringList{QStringLiteral("application/x-unknown ?")} << QStringList{}
                                    << QStringLiteral("nothing");
}

void TestClipboardData::readOrder()
{
    QFETCH(QStringList, offered);
    QFETCH(QStringList, asked);
    QFETCH(QString, result);
    QStringList types;
    QHash<QString, QByteArray> answers;
    for (const QString& entry : offered) {
        types << entry.section(u' ', 0, 0);
        answers.insert(types.last(), entry.section(u' ', 1).toLatin1());
    }
    // The user is told why a copy was not recorded.
    static const QHash<QString, const char*> said{
        {QStringLiteral("silent owner ends the read"),
         "ondrel: the program that owns the clipboard does not answer; its copy is not recorded"},
        {QStringLiteral("trickling owner ends the read"),
         "ondrel: the program that owns the clipboard sends its data too slowly; its copy is not recorded"},
        {QStringLiteral("newer copy ends the read"),
         "ondrel: a newer copy came while the clipboard was being read; the older one is not recorded"},
        {QStringLiteral("HTML too large, the text without it"),
         "ondrel: the clipboard's text/html data is larger than 4 MiB; the text is recorded without it"}};
    if (const char* line = said.value(QString::fromLatin1(QTest::currentDataTag())))
        QTest::ignoreMessage(QtWarningMsg, line);
    QStringList requests;
    const std::atomic<bool> stop{false};
    const platform::ClipboardContents contents = platform::readOffered(
        types,
        [&](const QString& type, qsizetype limit) {
            requests << type;
            OfferedData data = answer(answers.value(type));
            return data.bytes.size() > limit ? OfferedData{OfferedData::Status::tooLarge, {}} : data;
        },
        3000, stop);
    QCOMPARE(requests, asked);
    QCOMPARE(recorded(contents), result);
    QCOMPARE(contents.types, types);
}

QTEST_MAIN(TestClipboardData)
#include "tst_clipboarddata.moc"
