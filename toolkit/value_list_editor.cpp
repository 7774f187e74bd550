#include "toolkit/value_list_editor.h"

#include "toolkit/ansi.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

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

TValueListEditor::TValueListEditor(QWidget* parent) : QTableView(parent)
{
    m_model = new TValueListModel(m_strings, this);
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setFixedHeight(RowHeight);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->resizeSection(0, KeyColumnWidth);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == 0)
            fitValueColumn();
        placeEditor();
    });
    setAccessibleName(QStringLiteral("Key/Value"));

    m_editor = new QLineEdit(viewport());
    m_editor->setFrame(false);
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textEdited, this, &TValueListEditor::textEdited);
    setFocusProxy(m_editor);

    m_strings.SetOnChange([this] {
        if (m_editCount == 0)
            Refresh();
    });
    Refresh();
}

TValueListEditor::~TValueListEditor()
{
    m_strings.SetOnChange({});
}

std::string TValueListEditor::ValueOfKey(const std::string& key) const
{
    return ::ValueOfKey(m_strings, key);
}

bool TValueListEditor::FindKeyRow(const std::string& key, int& row) const
{
    return ::FindKeyRow(m_strings, key, row);
}

std::string TValueListEditor::Cells(int column, int row) const
{
    if (row == 0)
        return column == 0 ? "Key" : column == 1 ? "Value" : "";
    const int line = row - 1;
    if (line < 0 || line >= m_strings.Count())
        return {};
    return column == 0 ? m_strings.Names(line) : column == 1 ? m_strings.ValueFromIndex(line) : "";
}

int TValueListEditor::lastRow() const
{
    return std::max(m_strings.Count(), 1);
}

void TValueListEditor::Refresh()
{
    ++m_editCount;
    m_model->reset();
    m_row = std::clamp(m_row, 1, lastRow());
    loadEditor();
    --m_editCount;
}

void TValueListEditor::SetRow(int row)
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
    const QModelIndex index = m_model->index(line, 1);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_remembered = exists ? toQString(m_strings.ValueFromIndex(line)) : QString();
    m_touched = false;
    m_editor->setText(m_remembered);
    m_editor->setReadOnly(!exists);
    m_editor->setAccessibleName(exists ? toQString(m_strings.Names(line)) : QString());
    m_editor->setAccessibleDescription(QStringLiteral("Value"));
    scrollTo(index);
    placeEditor();
}

void TValueListEditor::placeEditor()
{
    const QRect cell = visualRect(m_model->index(m_row - 1, 1));
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
    if (m_fitting)
        return;
    m_fitting = true;
    horizontalHeader()->resizeSection(
        1, std::max(0, viewport()->width() - horizontalHeader()->sectionSize(0) - 2));
    m_fitting = false;
}

void TValueListEditor::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitValueColumn();
    placeEditor();
}

void TValueListEditor::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    fitValueColumn();
    placeEditor();
}

void TValueListEditor::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TValueListEditor::mousePressEvent(QMouseEvent* event)
{
    // Only a value cell can become current; a click elsewhere leaves the current cell.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.column() == 1) {
        SetRow(index.row() + 1);
        m_editor->setFocus();
    }
    event->accept();
}

void TValueListEditor::keyPressEvent(QKeyEvent* event)
{
    if (!navigate(event))
        event->ignore();
}

bool TValueListEditor::navigate(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int page = std::max(1, viewport()->height() / RowHeight - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        SetRow(ctrl ? 1 : m_row - 1);
        return true;
    case Qt::Key_Down:
        SetRow(ctrl ? lastRow() : m_row + 1);
        return true;
    case Qt::Key_PageUp:
        SetRow(m_row - page);
        return true;
    case Qt::Key_PageDown:
        SetRow(m_row + page);
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

bool TValueListEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress)
        return navigate(static_cast<QKeyEvent*>(event));
    return QTableView::eventFilter(watched, event);
}
