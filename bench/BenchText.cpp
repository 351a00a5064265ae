#include "BenchText.h"

#include <QRandomGenerator>
#include <QStringList>

namespace ondrel::bench {

namespace {

// None of these ends in a shell keyword or starts a rule of its own.
const QStringList kWords = {
    QStringLiteral("lorem"),    QStringLiteral("ipsum"),    QStringLiteral("amet"),
    QStringLiteral("elit"),     QStringLiteral("sed"),      QStringLiteral("magna"),
    QStringLiteral("aliqua"),   QStringLiteral("veniam"),   QStringLiteral("quis"),
    QStringLiteral("nostrud"),  QStringLiteral("ullamco"),  QStringLiteral("laboris"),
    QStringLiteral("nisi"),     QStringLiteral("aliquip"),  QStringLiteral("consequat"),
    QStringLiteral("velit"),    QStringLiteral("esse"),     QStringLiteral("cillum"),
    QStringLiteral("fugiat"),   QStringLiteral("nulla"),    QStringLiteral("pariatur"),
    QStringLiteral("sint"),     QStringLiteral("occaecat"), QStringLiteral("cupidatat"),
    QStringLiteral("proident"), QStringLiteral("sunt"),     QStringLiteral("culpa"),
    QStringLiteral("officia"),  QStringLiteral("deserunt"), QStringLiteral("mollit"),
    QStringLiteral("anim"),     QStringLiteral("laborum"),
};

const QStringList kSnippets = {
    QStringLiteral("func greet(name: String) -> String {\n    return \"Hello, \\(name)\"\n}\n"),
    QStringLiteral("def main():\n    print('hi')\n\nif __name__ == '__main__':\n    main()\n"),
    QStringLiteral("const add = (a, b) => a + b;\nconsole.log(add(1, 2));\n"),
    QStringLiteral("SELECT name, email FROM users WHERE id = 42;\n"),
    QStringLiteral("fn main() {\n    let mut v = Vec::new();\n    v.push(1);\n}\n"),
    QStringLiteral("{\"name\": \"Ondrel\", \"tags\": [\"clipboard\", \"history\"], \"n\": 3}"),
    QStringLiteral(".card { border-radius: 12px; box-shadow: 2px 2px 0 #000; }\n"),
    QStringLiteral("Café crème, naïve façade — déjà vu 😀 grüße aus Köln. "),
};

} // namespace

QString plainText(qsizetype length, unsigned seed)
{
    QRandomGenerator rng(seed);
    QString text;
    text.reserve(length + 16);
    int inSentence = 0;
    while (text.size() < length) {
        text += kWords[rng.bounded(kWords.size())];
        if (++inSentence > 12 && rng.bounded(4) == 0) {
            text += rng.bounded(3) == 0 ? QStringLiteral(".\n") : QStringLiteral(". ");
            inSentence = 0;
        } else {
            text += u' ';
        }
    }
    text.truncate(length);
    return text;
}

QString mixedText(qsizetype length, unsigned seed)
{
    QRandomGenerator rng(seed);
    QString text;
    text.reserve(length + 256);
    while (text.size() < length) {
        if (rng.bounded(3) == 0)
            text += kSnippets[rng.bounded(kSnippets.size())];
        else
            text += plainText(rng.bounded(40, 200), rng.generate()) + u'\n';
    }
    text.truncate(length);
    return text;
}

} // namespace ondrel::bench
