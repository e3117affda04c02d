#include "pst/messaging/table_templates.h"

#include <algorithm>
#include <initializer_list>

namespace pst::messaging {
namespace {

ltp::TableLayout layout(uint16_t end4, uint16_t end2, uint16_t end1, uint16_t rowSize,
                        std::initializer_list<ltp::ColumnDesc> columns) {
    ltp::TableLayout l;
    l.columns.assign(columns.begin(), columns.end());
    std::sort(l.columns.begin(), l.columns.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
    l.rgib[0] = end4;
    l.rgib[1] = end2;
    l.rgib[2] = end1;
    l.rgib[3] = rowSize;
    ltp::validateLayout(l);
    return l;
}

// {tag, ibData, cbData, iBit} as Outlook writes them.
const ltp::TableLayout& hierarchyLayout() {
    static const ltp::TableLayout l = layout(52, 52, 53, 55, {
        {0x0E300102, 20, 4, 6}, {0x0E330014, 24, 8, 7}, {0x0E340102, 32, 4, 8}, {0x0E380003, 36, 4, 9},
        {0x3001001F, 8, 4, 2}, {0x36020003, 12, 4, 3}, {0x36030003, 16, 4, 4}, {0x360A000B, 52, 1, 5},
        {0x3613001F, 40, 4, 10}, {0x66350003, 44, 4, 11}, {0x66360003, 48, 4, 12}, {0x67F20003, 0, 4, 0},
        {0x67F30003, 4, 4, 1}});
    return l;
}

const ltp::TableLayout& contentsLayout() {
    static const ltp::TableLayout l = layout(120, 120, 122, 126, {
        {0x00170003, 20, 4, 5}, {0x001A001F, 12, 4, 3}, {0x00360003, 60, 4, 15}, {0x0037001F, 28, 4, 7},
        {0x00390040, 40, 8, 9}, {0x0042001F, 24, 4, 6}, {0x0057000B, 120, 1, 13}, {0x0058000B, 121, 1, 14},
        {0x0070001F, 68, 4, 17}, {0x00710102, 72, 4, 18}, {0x0E03001F, 56, 4, 12}, {0x0E04001F, 52, 4, 11},
        {0x0E060040, 32, 8, 8}, {0x0E070003, 16, 4, 4}, {0x0E080003, 48, 4, 10}, {0x0E170003, 8, 4, 2},
        {0x0E300102, 92, 4, 22}, {0x0E330014, 96, 8, 23}, {0x0E340102, 104, 4, 24}, {0x0E380003, 116, 4, 27},
        {0x0E3C0102, 112, 4, 26}, {0x0E3D0102, 108, 4, 25}, {0x10970003, 64, 4, 16}, {0x30080040, 84, 8, 21},
        {0x30130102, 76, 4, 19}, {0x65C60003, 80, 4, 20}, {0x67F20003, 0, 4, 0}, {0x67F30003, 4, 4, 1}});
    return l;
}

const ltp::TableLayout& assocContentsLayout() {
    static const ltp::TableLayout l = layout(56, 56, 57, 59, {
        {0x001A001F, 12, 4, 3}, {0x0E070003, 16, 4, 4}, {0x0E170003, 8, 4, 2}, {0x3001001F, 20, 4, 5},
        {0x67F20003, 0, 4, 0}, {0x67F30003, 4, 4, 1}, {0x6800001F, 44, 4, 11}, {0x6803000B, 56, 1, 12},
        {0x68051003, 48, 4, 13}, {0x682F001F, 52, 4, 14}, {0x70030003, 24, 4, 6}, {0x70040102, 28, 4, 7},
        {0x70050102, 32, 4, 8}, {0x7006001F, 36, 4, 9}, {0x70070003, 40, 4, 10}});
    return l;
}

const ltp::TableLayout& searchContentsLayout() {
    static const ltp::TableLayout l = layout(72, 72, 75, 78, {
        {0x00170003, 28, 4, 7}, {0x001A001F, 20, 4, 5}, {0x00360003, 60, 4, 16}, {0x0037001F, 36, 4, 9},
        {0x0042001F, 32, 4, 8}, {0x0057000B, 72, 1, 14}, {0x0058000B, 73, 1, 15}, {0x0E03001F, 56, 4, 13},
        {0x0E04001F, 52, 4, 12}, {0x0E05001F, 12, 4, 3}, {0x0E060040, 40, 8, 10}, {0x0E070003, 24, 4, 6},
        {0x0E080003, 48, 4, 11}, {0x0E170003, 16, 4, 4}, {0x0E2A000B, 74, 1, 17}, {0x30080040, 64, 8, 18},
        {0x67F10003, 8, 4, 2}, {0x67F20003, 0, 4, 0}, {0x67F30003, 4, 4, 1}});
    return l;
}

const ltp::TableLayout& recipientLayout() {
    static const ltp::TableLayout l = layout(48, 48, 50, 52, {
        {0x0C150003, 24, 4, 7}, {0x0E0F000B, 48, 1, 2}, {0x0FF90102, 32, 4, 9}, {0x0FFE0003, 36, 4, 10},
        {0x0FFF0102, 16, 4, 5}, {0x3001001F, 20, 4, 6}, {0x3002001F, 8, 4, 3}, {0x3003001F, 12, 4, 4},
        {0x300B0102, 28, 4, 8}, {0x39000003, 40, 4, 11}, {0x39FF001F, 44, 4, 13}, {0x3A40000B, 49, 1, 12},
        {0x67F20003, 0, 4, 0}, {0x67F30003, 4, 4, 1}});
    return l;
}

const ltp::TableLayout& attachmentLayout() {
    static const ltp::TableLayout l = layout(24, 24, 24, 25, {
        {0x0E200003, 12, 4, 3}, {0x3704001F, 20, 4, 5}, {0x37050003, 16, 4, 4}, {0x370B0003, 8, 4, 2},
        {0x67F20003, 0, 4, 0}, {0x67F30003, 4, 4, 1}});
    return l;
}

std::vector<ltp::Column> columnsOf(TableTemplate which) {
    std::vector<ltp::Column> out;
    for (const auto& c : templateLayout(which).columns) out.push_back({c.tag});
    return out;
}

}  // namespace

const ltp::TableLayout& templateLayout(TableTemplate which) {
    switch (which) {
    case TableTemplate::Hierarchy: return hierarchyLayout();
    case TableTemplate::Contents: return contentsLayout();
    case TableTemplate::AssocContents: return assocContentsLayout();
    case TableTemplate::SearchContents: return searchContentsLayout();
    case TableTemplate::Recipient: return recipientLayout();
    case TableTemplate::Attachment: return attachmentLayout();
    }
    return hierarchyLayout();
}

ltp::Table templateTable(TableTemplate which) { return ltp::Table::withLayout(templateLayout(which)); }

std::vector<ltp::Column> hierarchyTableColumns() { return columnsOf(TableTemplate::Hierarchy); }
std::vector<ltp::Column> contentsTableColumns() { return columnsOf(TableTemplate::Contents); }
std::vector<ltp::Column> assocContentsTableColumns() { return columnsOf(TableTemplate::AssocContents); }
std::vector<ltp::Column> searchContentsTableColumns() { return columnsOf(TableTemplate::SearchContents); }
std::vector<ltp::Column> recipientTableColumns() { return columnsOf(TableTemplate::Recipient); }
std::vector<ltp::Column> attachmentTableColumns() { return columnsOf(TableTemplate::Attachment); }

}  // namespace pst::messaging
