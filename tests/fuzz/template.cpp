// ExpandTemplate over any action text, letters and values. With the entry
// letters and six values, a text without "%" comes back as it is.
//
// Fields: text, letters, then the values.

#include "FuzzInput.h"

#include "engine/ExpandTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fuzz::Fields f(data, size);
    const QString text = f.text(0);
    const QString letters = f.text(1);
    QStringList values;
    for (qsizetype i = 2; i < f.count(); ++i)
        values << f.text(i);
    ExpandTemplate(text, letters, values);

    QStringList six = values;
    six.resize(EntryTemplateLetters.size());
    const QString expanded = ExpandTemplate(text, EntryTemplateLetters, six);
    if (!text.contains(u'%'))
        FUZZ_CHECK(expanded == text);
    return 0;
}
