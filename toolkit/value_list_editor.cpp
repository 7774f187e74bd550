#include "toolkit/value_list_editor.h"

#include "toolkit/ansi.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace {

constexpr int kRowHeight = 18;
constexpr int kKeyColumnWidth = 150;

} // namespace

// The rows of a TValueListEditor below its title row "Key" / "Value" (the header): one row per
// line of the list, one empty row for an empty list. The model holds no copy of the text.
class TValueListModel : public QAbstractTableModel
{
public:
    explicit TValueListModel(TValueListStrings& strings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rebuilds the rows after the list changed.
    void reset();
    // Repaints one line after the in-place editor wrote it.
    void lineChanged(int line);

private:
    TValueListStrings& m_strings;
};

TValueListModel::TValueListModel(TValueListStrings& strings, QObject* parent)
    : QAbstractTableModel(parent), m_strings(strings)
{}

int TValueListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(m_strings.Count(), 1);
}

int TValueListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TValueListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_strings.Count())
        return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::EditRole)
        return {};
    return toQString(index.column() == 0 ? m_strings.Names(index.row())
                                         : m_strings.ValueFromIndex(index.row()));
}

QVariant TValueListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return section == 0 ? QStringLiteral("Key") : QStringLiteral("Value");
}

Qt::ItemFlags TValueListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Key cells are shown but never become current.
    return index.column() == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TValueListModel::reset()
{
    beginResetModel();
    endResetModel();
}

void TValueListModel::lineChanged(int line)
{
    emit dataChanged(index(line, 0), index(line, 1));
}

// The view of a TValueListEditor: hands its input, size and scroll events to the editor.
class TValueListGrid : public QTableView
{
public:
    explicit TValueListGrid(TValueListEditor* owner) : QTableView(owner), m_owner(owner) {}

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTableView::resizeEvent(event);
        m_owner->fitValueColumn();
        m_owner->placeEditor();
    }
    void showEvent(QShowEvent* event) override
    {
        QTableView::showEvent(event);
        m_owner->fitValueColumn();
        m_owner->placeEditor();
    }
    void scrollContentsBy(int dx, int dy) override
    {
        QTableView::scrollContentsBy(dx, dy);
        m_owner->placeEditor();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_owner->clickAt(event->position().toPoint());
        event->accept();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_owner->navigate(event))
            event->ignore();
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched == m_owner->m_editor)
            return m_owner->navigate(static_cast<QKeyEvent*>(event));
        return QTableView::eventFilter(watched, event);
    }

private:
    TValueListEditor* m_owner;
};

TValueListEditor::TValueListEditor(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Key/Value"));
    m_strings.SetOnChange([this] {
        if (m_editCount == 0)
            Refresh();
    });
    Refresh();
}

TValueListEditor::~TValueListEditor()
{
    m_strings.SetOnChange({});
    // The grid goes while this is still an editor: its event filter asks for the line editor, and
    // QWidget's destructor would hide (and so filter) the children after this part is gone.
    delete std::exchange(m_grid, nullptr);
    m_editor = nullptr;
}

void TValueListEditor::buildGrid()
{
    if (m_grid != nullptr)
        return;
    m_grid = new TValueListGrid(this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setGeometry(rect());
    m_model = new TValueListModel(m_strings, m_grid);
    m_grid->setModel(m_model);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false);
    m_grid->setWordWrap(false);
    QHeaderView* rows = m_grid->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    QHeaderView* columns = m_grid->horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setFixedHeight(kRowHeight);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionsMovable(false);
    columns->setHighlightSections(false);
    columns->resizeSection(0, kKeyColumnWidth);
    connect(columns, &QHeaderView::sectionResized, this, [this](int section) {
        if (section == 0)
            fitValueColumn();
        placeEditor();
    });
    m_grid->setAccessibleName(accessibleName());

    m_editor = new QLineEdit(m_grid->viewport());
    m_editor->setObjectName(QStringLiteral("InplaceEditor"));
    m_editor->setFrame(false);
    m_editor->installEventFilter(m_grid);
    connect(m_editor, &QLineEdit::textEdited, this, &TValueListEditor::textEdited);
    m_grid->setFocusProxy(m_editor);
    setFocusProxy(m_editor);

    // The grid starts where the list stands: current row, its text and the remembered text.
    ++m_editCount;
    loadEditor();
    --m_editCount;
    if (isVisible())
        m_grid->show();
    updateGeometry();
}

QSize TValueListEditor::sizeHint() const
{
    return m_grid != nullptr ? m_grid->sizeHint() : QWidget::sizeHint();
}

QSize TValueListEditor::minimumSizeHint() const
{
    return m_grid != nullptr ? m_grid->minimumSizeHint() : QWidget::minimumSizeHint();
}

bool TValueListEditor::event(QEvent* event)
{
    // Shown for the first time: the grid is needed from now on. (Not at polishing: every widget is
    // polished by the first turn of the event loop, shown or not.)
    if (event->type() == QEvent::Show)
        buildGrid();
    return QWidget::event(event);
}

void TValueListEditor::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_grid != nullptr)
        m_grid->setGeometry(rect());
}

int TValueListEditor::lastRow() const
{
    return std::max(m_strings.Count(), 1);
}

void TValueListEditor::Refresh()
{
    ++m_editCount;
    if (m_model != nullptr)
        m_model->reset();
    m_row = std::clamp(m_row, 1, lastRow());
    loadEditor();
    --m_editCount;
}

void TValueListEditor::setRow(int row)
{
    row = std::clamp(row, 1, lastRow());
    if (row == m_row)
        return;
    const int old = m_row;
    m_row = row;
    if (!removeRowIfEmpty(old))
        loadEditor();
}

bool TValueListEditor::isEmptyLine(int row) const
{
    const int line = row - 1;
    return line >= 0 && line < m_strings.Count() && m_strings.Names(line).empty() &&
           m_strings.ValueFromIndex(line).empty();
}

bool TValueListEditor::removeRowIfEmpty(int row)
{
    if (!isEmptyLine(row))
        return false;
    if (m_row > row)
        --m_row;
    m_strings.Delete(row - 1); // refreshes through the change handler
    return true;
}

void TValueListEditor::loadEditor()
{
    const int line = m_row - 1;
    const bool exists = line < m_strings.Count();
    m_remembered = exists ? toQString(m_strings.ValueFromIndex(line)) : QString();
    m_touched = false;
    if (m_grid == nullptr)
        return;
    const QModelIndex index = m_model->index(line, 1);
    m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_editor->setText(m_remembered);
    m_editor->setReadOnly(!exists);
    m_editor->setAccessibleName(exists ? toQString(m_strings.Names(line)) : QString());
    m_editor->setAccessibleDescription(QStringLiteral("Value"));
    m_grid->scrollTo(index);
    placeEditor();
}

void TValueListEditor::placeEditor()
{
    if (m_grid == nullptr)
        return;
    const QRect cell = m_grid->visualRect(m_model->index(m_row - 1, 1));
    m_editor->setGeometry(cell);
    m_editor->setVisible(cell.isValid());
}

void TValueListEditor::textEdited(const QString& edited)
{
    const int line = m_row - 1;
    if (line >= m_strings.Count())
        return;
    // A value is one line of the table and of the INI file: line breaks pasted into it are dropped
    // (a path copied with its line end comes in as the path), the cursor stays where it was.
    QString text = edited;
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        int cursor = m_editor->cursorPosition();
        for (int i = text.size() - 1; i >= 0; --i) {
            if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
                text.remove(i, 1);
                if (i < cursor)
                    --cursor;
            }
        }
        m_editor->setText(text);
        m_editor->setCursorPosition(cursor);
    }
    m_touched = true;
    ++m_editCount;
    m_strings.Put(line, m_strings.Names(line) + "=" + toAnsi(text));
    --m_editCount;
    m_model->lineChanged(line);
}

void TValueListEditor::fitValueColumn()
{
    if (m_fitting || m_grid == nullptr)
        return;
    m_fitting = true;
    QHeaderView* columns = m_grid->horizontalHeader();
    columns->resizeSection(1, std::max(0, m_grid->viewport()->width() - columns->sectionSize(0) - 2));
    m_fitting = false;
}

void TValueListEditor::clickAt(const QPoint& position)
{
    // Only a value cell can become current; a click elsewhere leaves the current cell.
    const QModelIndex index = m_grid->indexAt(position);
    if (index.isValid() && index.column() == 1) {
        setRow(index.row() + 1);
        m_editor->setFocus();
    }
}

bool TValueListEditor::navigate(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int page = std::max(1, m_grid->viewport()->height() / kRowHeight - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        setRow(ctrl ? 1 : m_row - 1);
        return true;
    case Qt::Key_Down:
        setRow(ctrl ? lastRow() : m_row + 1);
        return true;
    case Qt::Key_PageUp:
        setRow(m_row - page);
        return true;
    case Qt::Key_PageDown:
        setRow(m_row + page);
        return true;
    case Qt::Key_Escape:
        if (!m_touched && isEmptyLine(m_row)) {
            removeRowIfEmpty(m_row);
        } else {
            m_editor->setText(m_remembered);
            textEdited(m_remembered);
            m_editor->selectAll();
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_editor->hasSelectedText() && m_editor->selectedText() == m_editor->text())
            m_editor->deselect();
        else
            m_editor->selectAll();
        return true;
    default:
        return false;
    }
}
