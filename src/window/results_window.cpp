#include "window/results_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "core/paths.h"
#include "edit/manual_edit.h"
#include "edit/review.h"
#include "edit/undo.h"
#include "form/window_place.h"
#include "window/main_window.h"

namespace orv::window {

using view::ResultColumn;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

bool numeric(ResultColumn c) {
    return c != ResultColumn::Atr && c != ResultColumn::EditAtr && c != ResultColumn::Note;
}

constexpr const char* kPlaceFileName = "OrvandelResults.ini";

}  // namespace

ResultsModel::ResultsModel(MainWindow& window, QObject* parent)
    : QAbstractTableModel(parent), w_(window) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view::kResultColumns;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const auto column = static_cast<ResultColumn>(index.column());
    if (role == Qt::DisplayRole)
        return qs(view::cellText(w_.workspace(), measures_, rows_[index.row()], column));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            Qt::Alignment((numeric(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= view::kResultColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto column = static_cast<ResultColumn>(section);
    if (role == Qt::DisplayRole) return qs(view::columnCaption(column));
    if (role == Qt::ToolTipRole) return qs(view::columnToolTip(w_.form(), column));
    return {};
}

void ResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= view::kResultColumns) return;
    sortColumn_ = column;
    descending_ = order == Qt::DescendingOrder;
    beginResetModel();
    view::sortResults(w_.workspace(), measures_, rows_, static_cast<ResultColumn>(column),
                      descending_);
    for (size_t i = 0; i < rows_.size(); ++i) rowByResult_[rows_[i]] = static_cast<int32_t>(i);
    endResetModel();
}

int32_t ResultsModel::resultOf(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : 0;
}

int ResultsModel::rowOf(int32_t n) const {
    return n >= 0 && static_cast<size_t>(n) < rowByResult_.size() ? rowByResult_[n] : -1;
}

void ResultsModel::relist() {
    beginResetModel();
    rows_ = view::listedResults(w_.ctx(), listClass_);
    view::sortResults(w_.workspace(), measures_, rows_, static_cast<ResultColumn>(sortColumn_),
                      descending_);
    rowByResult_.assign(static_cast<size_t>(std::max(w_.workspace().MaxStarNo, 0)) + 1, -1);
    for (size_t i = 0; i < rows_.size(); ++i) rowByResult_[rows_[i]] = static_cast<int32_t>(i);
    endResetModel();
}

bool ResultsModel::refresh() {
    const auto& ws = w_.workspace();
    measures_ = view::currentMeasures(ws);
    bool same = rowByResult_.size() == static_cast<size_t>(std::max(ws.MaxStarNo, 0)) + 1;
    for (int32_t n = 1; same && n <= ws.MaxStarNo; ++n)
        same = view::isListed(w_.ctx(), n, listClass_) == (rowByResult_[n] >= 0);
    if (!same) {
        relist();
        return true;
    }
    if (!rows_.empty())
        emit dataChanged(index(0, 0),
                         index(static_cast<int>(rows_.size()) - 1, view::kResultColumns - 1));
    return false;
}

void ResultsModel::setListClass(int listClass) {
    listClass_ = std::clamp(listClass, 0, view::kListClasses - 1);
    measures_ = view::currentMeasures(w_.workspace());
    relist();
}

ResultsWindow::ResultsWindow(MainWindow& window) : QWidget(&window, Qt::Window), w_(window) {
    setObjectName("frmResults");
    setFont(window.font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    auto* bar = new QHBoxLayout;
    auto* caption = new QLabel("種類", this);
    bar->addWidget(caption);
    classes_ = new QComboBox(this);
    classes_->setObjectName("cboResultClass");
    classes_->setToolTip("一覧に載せる結果の種類を選びます。");
    for (int i = 0; i < view::kListClasses; ++i) classes_->addItem(view::listClassName(i));
    bar->addWidget(classes_);
    count_ = new QLabel(this);
    count_->setObjectName("lblResultCount");
    bar->addWidget(count_);
    bar->addStretch(1);
    auto* hint =
        new QLabel("クリック・Enter: 選択して中央に表示　Delete: 削除　Ctrl+Z: 元に戻す", this);
    hint->setEnabled(false);
    bar->addWidget(hint);
    layout->addLayout(bar);

    model_ = new ResultsModel(window, this);
    view_ = new QTableView(this);
    view_->setObjectName("tblResults");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setAlternatingRowColors(true);
    view_->verticalHeader()->hide();
    // Rows of one height: 50000 of them scroll without measuring each.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setWordWrap(false);
    view_->setSortingEnabled(true);
    view_->sortByColumn(0, Qt::AscendingOrder);
    for (int c = 0; c < view::kResultColumns; ++c)
        view_->setColumnWidth(c, c == 0 ? 56 : (c == 12 || c == 13) ? 70 : 62);
    view_->installEventFilter(this);
    layout->addWidget(view_, 1);

    // A new list resets the model, which the window follows below.
    connect(classes_, &QComboBox::currentIndexChanged, this,
            [this](int i) { model_->setListClass(i); });
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!following_ && current.isValid()) selectRow(current.row());
            });
    connect(view_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { selectRow(index.row()); });
    // A new order or list loses the current row: the selection is shown again after it (the
    // rows are the model's already).
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        shownSelection_ = -1;
        QMetaObject::invokeMethod(
            this, [this] { followModel(); }, Qt::QueuedConnection);
    });

    w_.addEditHistoryKeys(this);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

std::string ResultsWindow::placeFile() const {
    return core::joinPath(w_.workspace().folders.writableFolder(), kPlaceFileName);
}

void ResultsWindow::open() {
    if (!placed_) {
        placed_ = true;
        QScreen* screen = w_.screen() ? w_.screen() : QGuiApplication::primaryScreen();
        const QRect a = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 728);
        form::WindowPlace place{a.x() + a.width() - 960, a.y() + 40, 940, 520, false};
        if (auto remembered = form::readWindowPlace(placeFile())) place = *remembered;
        place = form::fitOnScreen(place, {a.x(), a.y(), a.width(), a.height()}, 0, 32, 420, 240);
        resize(place.width, place.height);
        move(place.left, place.top);
    }
    show();
    raise();
    activateWindow();
    shownSelection_ = -1;
    syncFromModel();
}

void ResultsWindow::syncFromModel() {
    if (isHidden() || w_.running()) return;
    const auto& ws = w_.workspace();
    const QString title = QString("結果一覧 — %1").arg(qs(ws.DoFileName));
    if (windowTitle() != title) setWindowTitle(title);
    model_->refresh();
    followModel();
}

void ResultsWindow::followModel() {
    if (isHidden() || w_.running()) return;
    const auto& ws = w_.workspace();
    for (int c : {static_cast<int>(ResultColumn::Flux), static_cast<int>(ResultColumn::Fwhm),
                  static_cast<int>(ResultColumn::Snr)})
        view_->setColumnHidden(c, !model_->hasMeasures());
    count_->setText(QString("%1 件").arg(model_->rowCount()));
    // The main window's selection is the current row.
    const int32_t selected = w_.form().fraStarInfo.Visible ? ws.SelStarNo : 0;
    if (selected != shownSelection_) {
        shownSelection_ = selected;
        const int row = model_->rowOf(selected);
        following_ = true;
        if (row >= 0) {
            const QModelIndex index = model_->index(row, 0);
            view_->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            view_->scrollTo(index);
        } else {
            view_->selectionModel()->clearSelection();
        }
        following_ = false;
    }
}

void ResultsWindow::selectRow(int row) {
    const int32_t n = model_->resultOf(row);
    if (n < 1 || w_.running()) return;
    shownSelection_ = n;
    w_.runHandler([n](form::Ctx& c) { edit::selectAndCentre(c, n); });
}

bool ResultsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        const bool del = e->key() == Qt::Key_Delete, back = e->key() == Qt::Key_Backspace;
        if ((del || back) && e->modifiers() == Qt::NoModifier) {
            const int32_t n = model_->resultOf(view_->currentIndex().row());
            if (n < 1 || !w_.editsAllowed()) return true;
            w_.runHandler([n, del](form::Ctx& c) {
                edit::selectAndCentre(c, n);
                if (del)
                    edit::cmdEditDelete_Click(c);
                else
                    edit::cmdEditUnDelete_Click(c);
            });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ResultsWindow::rememberPlace() {
    if (!placed_) return;
    const form::WindowPlace place{pos().x(), pos().y(), width(), height(), false};
    // A place that cannot be written is only forgotten.
    static_cast<void>(form::writeWindowPlace(placeFile(), place));
}

void ResultsWindow::hideEvent(QHideEvent* event) {
    rememberPlace();
    QWidget::hideEvent(event);
}

}  // namespace orv::window
