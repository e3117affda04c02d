#include "import/string_arrays.h"

#include "zentra/error.h"

namespace {

[[noreturn]] void subscriptOutOfRange() {
    throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range");
}

QString& at(modMain::TextArray& list, long long i) {
    if (i < 0 || i >= static_cast<long long>(list.size())) subscriptOutOfRange();
    return list[static_cast<size_t>(i)];
}

// (low + high) / 2 rounded to the nearest integer, halves to the even one.
long long midpoint(long long low, long long high) {
    const long long sum = low + high;
    if (sum % 2 == 0) return sum / 2;
    const long long below = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);   // floor(sum / 2)
    return below % 2 == 0 ? below : below + 1;
}

void sortRange(modMain::TextArray& list, long long low, long long high) {
    const QString pivot = at(list, midpoint(low, high));
    long long i = low;
    long long j = high;
    for (;;) {
        while (at(list, i) < pivot && i < high) ++i;
        while (pivot < at(list, j) && j > low) --j;
        if (i > j) break;
        std::swap(at(list, i), at(list, j));
        ++i;
        --j;
        if (i > j) break;
    }
    if (low < j) sortRange(list, low, j);
    if (i < high) sortRange(list, i, high);
}

}  // namespace

namespace modMain {

void SortStrings(TextArray& list, int low, int high) { sortRange(list, low, high); }

void CompactStrings(TextArray& list) {
    const long long n = static_cast<long long>(list.size()) - 1;
    long long k = 1;
    for (long long i = 0; i <= n;) {
        if (i + k > n) break;
        if (list[i].isEmpty()) {
            ++i;
            continue;
        }
        if (list[i + k] == list[i]) {
            list[i + k].clear();
            ++k;
            continue;
        }
        k = 1;
        ++i;
    }
    size_t next = 0;
    for (size_t m = 0; m < list.size(); ++m) {
        if (list[m].isEmpty()) continue;
        if (m != next) list[next] = std::move(list[m]);
        ++next;
    }
    if (next == 0) {
        for (auto& entry : list) entry.clear();
        subscriptOutOfRange();
    }
    list.resize(next);
}

}  // namespace modMain

namespace registry {

QString GetFolderPart(const QString& path, QChar separator) {
    if (path.isEmpty()) subscriptOutOfRange();
    const qsizetype last = path.lastIndexOf(separator);
    return last < 0 ? QString() : path.left(last + 1);
}

}  // namespace registry
