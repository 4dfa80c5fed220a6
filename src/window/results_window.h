#pragma once
// 結果一覧: a window of its own listing the results the display options show, one row per
// result, with the information panel's columns and the measurements. The model reads the
// working state directly (no copy of the tables); a sort orders only the list of numbers.
// Clicking a row, moving to it with the keys or pressing Enter selects the result in the main
// window and centres it there; Delete deletes it (削除), Ctrl+Z and Ctrl+Y undo and redo as in
// the main window. Edits made anywhere show in the table at the next sync.

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "view/results_list.h"

class QComboBox;
class QLabel;
class QTableView;

namespace orv::window {

class MainWindow;

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsModel(MainWindow& window, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // The result of a row, 0 for none; the row of a result, -1 when it is not listed.
    int32_t resultOf(int row) const;
    int rowOf(int32_t n) const;
    // Lists the results anew when the listed set changed (keeping the order), else repaints.
    // Returns whether the list was made anew.
    bool refresh();
    void setListClass(int listClass);
    int listClass() const { return listClass_; }
    // Whether any listed result has a measurement (the measurement columns are shown).
    bool hasMeasures() const { return measures_ != nullptr; }

private:
    void relist();

    MainWindow& w_;
    std::vector<int32_t> rows_;
    std::vector<int32_t> rowByResult_;  // index: result number; -1 not listed
    const core::MeasureTable* measures_ = nullptr;
    int listClass_ = view::kListAll;
    int sortColumn_ = 0;
    bool descending_ = false;
};

class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultsWindow(MainWindow& window);

    // Shows the window at its remembered place (first time) and brings it to the front.
    void open();
    // Follows the working state: the title, the rows, the selected result.
    void syncFromModel();

    ResultsModel* model() const { return model_; }
    QTableView* view() const { return view_; }

protected:
    // Closing hides the window, which remembers its place.
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The columns, the count and the selected result as the model's rows stand.
    void followModel();
    void selectRow(int row);
    void rememberPlace();
    std::string placeFile() const;

    MainWindow& w_;
    ResultsModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QComboBox* classes_ = nullptr;
    QLabel* count_ = nullptr;
    bool placed_ = false;
    bool following_ = false;  // the current row is being set to the main window's selection
    int32_t shownSelection_ = -1;
};

}  // namespace orv::window
