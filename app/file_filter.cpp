#include "app/file_filter.h"

namespace quillon {

namespace {
QString QtPatterns(const QString& patterns) {
    QStringList result;
    for (QString pattern : patterns.split(';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        if (pattern == "*.*") {
            pattern = "*";
        }
        if (!pattern.isEmpty() && !result.contains(pattern)) {
            result << pattern;
        }
    }
    return result.isEmpty() ? QStringLiteral("*") : result.join(' ');
}
}  // namespace

QStringList ToQtNameFilters(const QString& filter) {
    QStringList filters;
    const QStringList parts = filter.split('|');
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString caption = parts[i].trimmed();
        const QString patterns = i + 1 < parts.size() ? parts[i + 1] : QString();
        if (caption.isEmpty() && patterns.trimmed().isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the last parentheses of a filter, so a caption
        // holding parentheses of its own cannot confuse it.
        filters << QString("%1 (%2)").arg(caption.isEmpty() ? patterns : caption,
                                          QtPatterns(patterns));
    }
    if (filters.isEmpty()) {
        filters << QStringLiteral("* (*)");
    }
    return filters;
}

}  // namespace quillon
