// A table's plan, made whole before any of it is placed: column widths from
// the widest word and the whole text of each column, row heights from the
// cell text at those widths, or the word that the table is to be listed.
// Numbers only: no text laid out here is kept. A long table is measured on
// several threads at once, each with its own Pango.

#include "FolmiraKit/Model/Cancel.h"
#include "FolmiraKit/Render/LayoutShaper.h"

#include "Platform/Text.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <system_error>
#include <thread>

namespace FolmiraKit::Renderer {
namespace {

// Text this short is laid out in one slice (see Platform::TextLayout).
constexpr std::size_t oneSliceBytes = 128;
// A table of at least this many rows is measured on several threads.
constexpr std::size_t parallelRows = 2048;

// The pieces of `text` between white space, empty pieces dropped.
std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char32_t c : Platform::Text::scalars(text)) {
        if (Platform::Text::isWhitespaceScalar(c)) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            Platform::Text::appendScalar(word, c);
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// True when `text` holds nothing that breaks a line or moves to a tab stop.
bool flat(const std::string& text)
{
    return text.find_first_of("\n\t") == std::string::npos && text.find("\u2028") == std::string::npos &&
           text.find("\u2029") == std::string::npos;
}

} // namespace

std::shared_ptr<const Layout::TablePlan> Layout::TablePlans::get(const Block::Table& table, const Make& make)
{
    std::unique_lock lock(mutex_);
    if (!plans_.try_emplace(&table).second) {
        made_.wait(lock, [&] { return plans_.count(&table) == 0 || plans_.at(&table) != nullptr; });
        if (auto found = plans_.find(&table); found != plans_.end()) return found->second;
        plans_.emplace(&table, nullptr); // the thread that was making it failed: make it here
    }
    lock.unlock();
    std::shared_ptr<const TablePlan> plan;
    try {
        plan = std::make_shared<const TablePlan>(make());
    } catch (...) {
        lock.lock();
        plans_.erase(&table);
        made_.notify_all();
        throw;
    }
    lock.lock();
    plans_[&table] = plan;
    made_.notify_all();
    return plan;
}

Layout::TablePlan Layout::Shaper::planTable(const std::vector<Block::Row>& rows, bool header)
{
    TablePlan plan;
    if (settings_.tables == LargePrintSettings::TableMode::list) return TablePlan{true, false, {}, {}};
    std::vector<double> whole;
    auto columns = tableColumns(rows, header, whole);
    if (!columns) return TablePlan{true, false, {}, {}};
    if (columns->empty()) return plan; // no cells at all: nothing to draw
    plan.header = header;
    plan.rightToLeft = Block::Table::rowsReadRightToLeft(rows);
    plan.columns = std::move(*columns);

    const double p = 0.35 * layout_.size;
    const double area = layout_.top - layout_.bottom;
    plan.heights.reserve(rows.size());
    std::size_t at = 0; // rows[r]'s first cell in `whole`
    for (std::size_t r = 0; r < rows.size(); ++r) {
        double height = rowTextHeight(rows[r], header && r == 0, plan.columns, whole.data() + at) + 2 * p;
        at += rows[r].size();
        // No row may need most of a page.
        if (height >= 0.9 * area) return TablePlan{true, false, {}, {}};
        plan.heights.push_back(height);
    }
    // A header repeated above a body row must fit a page together with it.
    if (header) {
        for (std::size_t r = 1; r < rows.size(); ++r)
            if (plan.heights[0] + plan.heights[r] > area) return TablePlan{true, false, {}, {}};
    }
    return plan;
}

std::optional<std::vector<double>> Layout::Shaper::tableColumns(const std::vector<Block::Row>& rows, bool header,
                                                                std::vector<double>& whole)
{
    std::size_t n = 0, cells = 0;
    std::vector<std::size_t> firstCell; // of each row in `whole`
    firstCell.reserve(rows.size());
    for (const auto& row : rows) {
        n = std::max(n, row.size());
        firstCell.push_back(cells);
        cells += row.size();
    }
    if (n < 1) return std::vector<double>{};
    const double width = layout_.width;
    const double p = 0.35 * layout_.size;
    // Every column holds a cell, so is at least 2p + 1 wide: a table of too many
    // columns is listed unmeasured.
    if (static_cast<double>(n) * (2 * p + 1) > width) return std::nullopt;

    // Rows in as many parts as threads measure them; this thread takes the
    // first part, and any part whose thread could not start.
    const std::size_t parts = rows.size() >= parallelRows ? static_cast<std::size_t>(shapingThreads()) : 1;
    std::vector<std::vector<double>> least(parts, std::vector<double>(n, 2 * p)), most = least;
    std::vector<std::exception_ptr> failures(parts);
    std::atomic<bool> over{false};
    whole.assign(cells, 0.0);
    auto measurePart = [&](Shaper& shaper, std::size_t k) {
        const std::size_t from = rows.size() * k / parts, to = rows.size() * (k + 1) / parts;
        if (from < to) shaper.measureRows(rows, header, from, to, least[k], most[k], whole.data() + firstCell[from], over);
    };
    {
        std::vector<std::thread> helpers;
        struct Joiner {
            std::vector<std::thread>& threads;
            ~Joiner() { for (std::thread& thread : threads) thread.join(); }
        } joiner{helpers};
        std::size_t started = 1;
        try {
            for (; started < parts; ++started)
                helpers.emplace_back([&, k = started, cancel = Platform::currentCancelFlag()] {
                    try {
                        Platform::CancelScope scope(cancel);
                        Shaper shaper(layout_);
                        measurePart(shaper, k);
                    } catch (...) {
                        failures[k] = std::current_exception();
                        over = true;
                    }
                });
        } catch (const std::system_error&) {
            // No more threads to be had: this one measures the rest.
        }
        measurePart(*this, 0);
        for (std::size_t k = started; k < parts; ++k) measurePart(*this, k);
    }
    for (const auto& failure : failures)
        if (failure) std::rethrow_exception(failure);
    if (over) return std::nullopt;
    for (std::size_t k = 1; k < parts; ++k)
        for (std::size_t c = 0; c < n; ++c) {
            least[0][c] = std::max(least[0][c], least[k][c]);
            most[0][c] = std::max(most[0][c], most[k][c]);
        }
    return columnWidths(least[0], most[0]);
}

void Layout::Shaper::measureRows(const std::vector<Block::Row>& rows, bool header, std::size_t from, std::size_t to,
                                 std::vector<double>& least, std::vector<double>& most, double* whole,
                                 std::atomic<bool>& over)
{
    const double size = layout_.size, width = layout_.width;
    const double p = 0.35 * size;
    // The sum of the widest words only grows: once over the width, it stays over.
    double leastSum = std::accumulate(least.begin(), least.end(), 0.0);
    for (std::size_t r = from; r < to && !over; ++r) {
        if ((r - from) % 256 == 0) checkCancelled();
        bool bold = header && r == 0;
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            std::string text = cleanText(plain(rows[r][c]), false);
            double all = text.empty() ? 0 : measureLine(size, text, bold);
            *whole++ = all;
            double longest = 0;
            auto words = wordsOf(text);
            if (words.size() == 1 && words[0].size() == text.size()) longest = all;
            else
                for (const auto& word : words) longest = std::max(longest, measureLine(size, word, bold));
            double wider = std::max(least[c], longest + 2 * p + 1);
            leastSum += wider - least[c];
            least[c] = wider;
            most[c] = std::max(most[c], all + 2 * p + 1);
        }
        if (leastSum > width + 1e-6) over = true;
    }
}

std::optional<std::vector<double>> Layout::Shaper::columnWidths(const std::vector<double>& least,
                                                                const std::vector<double>& most) const
{
    const double width = layout_.width;
    const std::size_t n = least.size();
    double leastSum = std::accumulate(least.begin(), least.end(), 0.0);
    if (leastSum > width) return std::nullopt;
    double mostSum = std::accumulate(most.begin(), most.end(), 0.0);
    std::vector<double> columns(n);
    if (mostSum <= width) {
        for (std::size_t c = 0; c < n; ++c) columns[c] = most[c] + most[c] / mostSum * (width - mostSum);
    } else {
        double spread = 0;
        for (std::size_t c = 0; c < n; ++c) spread += most[c] - least[c];
        for (std::size_t c = 0; c < n; ++c)
            columns[c] = least[c] + (most[c] - least[c]) * (width - leastSum) / std::max(1.0, spread);
    }
    return columns;
}

double Layout::Shaper::rowTextHeight(const Block::Row& row, bool headerRow, const std::vector<double>& columns,
                                     const double* whole)
{
    const double p = 0.35 * layout_.size;
    const double lh = settings_.lineSpacing * layout_.size;
    const bool bold = headerRow || settings_.highContrast;
    double tallest = lh;
    for (std::size_t c = 0; c < row.size(); ++c) {
        const Block::Cell& cell = row[c];
        if (cell.empty()) continue;
        // A cell of one run in the face its column was measured in, whose whole
        // text fits the column, is one line: its text needs no break. Only
        // other cells are laid out here (and again when their piece is shaped).
        if (cell.size() == 1 && !cell[0].italic && (!cell[0].bold || bold) && flat(cell[0].text) &&
            cell[0].text.size() <= oneSliceBytes && whole[c] <= columns[c] - 2 * p - 0.01)
            continue;
        if (auto text = cellText(cell, headerRow, columns[c]))
            tallest = std::max(tallest, static_cast<double>(text->lines().size()) * lh);
    }
    return tallest;
}

} // namespace FolmiraKit::Renderer
