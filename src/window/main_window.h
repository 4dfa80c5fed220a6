#pragma once
// frmOrvandel as a Qt window, a thin layer over the window model:
// - builds one widget per control of the model (captions and tooltips from the model);
// - syncFromModel() copies the model onto the widgets after every handler and at every pump;
// - user actions change the model and then call the named handler through runHandler(),
//   which turns a fault into a message box and keeps the program going.
// The window owns the working state, the model and the Qt host.

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "form/context.h"
#include "form/frm_bigpic.h"
#include "view/display_stretch.h"
#include "window/qt_host.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QRadioButton;
class QScrollArea;
class QTimer;

namespace orv::window {

// The application's name, and the font its dialogs and message boxes speak Japanese in; called
// once the QApplication is made.
void useApplicationLook();

class BigPicWindow;
class Magnifier;
class Navigator;
class PictureLayer;
class ResultsWindow;
class StretchWindow;
class PushButton;
class SettingsBox;
class Thumbnail;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using Handler = std::function<void(form::Ctx&)>;

    // Starts the window: builds the widgets and runs Form_Load with the given folders.
    explicit MainWindow(core::ProgramFolders folders, QWidget* parent = nullptr);
    ~MainWindow() override;

    core::Workspace& workspace() { return ws_; }
    form::FrmOrvandel& form() { return frm_; }
    QtHost& host() { return *host_; }
    form::Ctx& ctx() { return *ctx_; }
    form::FrmBigPic& bigPicForm() { return bigFrm_; }
    // The division window, once "１．分割画像指定" has opened it.
    BigPicWindow* bigPicWindow() const { return bigWindow_; }
    // 結果一覧, once opened (Ctrl+T or its button).
    ResultsWindow* resultsWindow() const { return results_; }
    void showResultsWindow();
    // 表示調整, once opened.
    StretchWindow* stretchWindow() const { return stretchWindow_; }
    void showStretchWindow();
    // How the input and background views are shown (for the whole session).
    const view::DisplayStretch& displayStretch() const { return stretch_; }
    void setDisplayStretch(const view::DisplayStretch& stretch);
    // The results may be edited by hand now (and the edits undone): results are shown and no
    // step runs.
    bool editsAllowed() const;
    // Ctrl+Z undoes a hand edit, Ctrl+Shift+Z and Ctrl+Y redo it, in `window` (this one or
    // another of the program's windows).
    void addEditHistoryKeys(QWidget* window);

    // Copies the model to the widgets (only what differs, without firing any handler).
    void syncFromModel();

    // Runs an event handler: marks the window as running meanwhile, shows an arithmetic
    // fault or any other error in a modal message box (the state reached is kept), then
    // syncs. Handlers may nest: the pump lets the user press Cancel while a step runs.
    void runHandler(const Handler& handler);
    bool running() const { return running_ > 0; }

    PictureLayer* layer(int index) const { return layers_[index]; }
    Thumbnail* thumbnail() const { return thumbnail_; }
    Magnifier* magnifier() const { return magnifier_; }
    QTimer* flickerTimer() const { return flicker_; }

    // Loads a picture named on the command line or by a file manager, as ファイル would.
    void openPicture(const QString& path);
    // Where the window's place is remembered (form/window_place.h).
    std::string placeFile() const;

    // Said on the message line when the window is to close once the running step ends.
    static constexpr const char* kBusyCloseMessage =
        "処理を中止しています。終わりしだいウィンドウを閉じます。";

    // Asked when the window is closed while a step runs.
    static constexpr const char* kCloseWhileRunning =
        "処理を実行中です。処理を中止して、終わりしだい終了しますか？";

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Building (main_window_layout.cpp). Widgets are created in Tab order.
    void buildWindow();
    void buildDetectionPage(QWidget* page);
    void buildPsfPage(QWidget* page);  // main_window_psf.cpp
    void buildNavigation(QWidget* client);
    void buildViewport(QWidget* client);
    void buildStatus(QWidget* client);
    void layoutStatus();
    // The controls for examining by eye (main_window_examine.cpp): the information panel with
    // its edit frame in the detection page, the zoom, pan and magnifier controls and the
    // navigator in fraView, and the pointer, wheel and keys on the pictures.
    void buildStarInfo(QWidget* page);
    void buildNavigationControls(QWidget* view, QWidget* thumbnailArea);
    void wirePictureInput(QWidget* viewport);
    // The left column: the navigation panel at its foot, its thumbnail smaller on a low
    // window (down to half), the controls above it scrolling when the window is lower still.
    void layoutColumn();
    // The remembered place (or the model's size), brought onto the screen.
    void fitToScreen();
    // Writes the window's place for the next start (not when it never was shown).
    void rememberPlace();
    // The keys that press the buttons with a shortcut (only while the button can be pressed)
    // and Ctrl+Q, which closes the window through the unsaved-work guard.
    void buildShortcuts();

    PushButton* makeButton(QWidget* parent, const QString& name, const form::CommandButton& model,
                           const QRect& geometry, Handler onClick);
    QLabel* makeLabel(QWidget* parent, const QString& name, const form::Label& model,
                      const QRect& geometry, Qt::Alignment align = Qt::AlignLeft);
    QGroupBox* makeFrame(QWidget* parent, const QString& name, const form::Frame& model,
                         const QRect& geometry);
    // A frame without a caption (a page or a panel).
    QFrame* makePanel(QWidget* parent, const QString& name, const form::Frame& model,
                      const QRect& geometry);
    QCheckBox* makeCheck(QWidget* parent, const QString& name, form::CheckBox& model,
                         const QRect& geometry, Handler onClick);
    // Option buttons of one group; `onSelect(i)` runs after option i was selected by the user.
    void makeOptions(QWidget* parent, const char* name, std::span<form::OptionButton> models,
                     std::span<const QRect> geometries,
                     std::function<void(form::Ctx&, int)> onSelect);
    SettingsBox* makeBox(QWidget* parent, const QString& name, form::TextBox& model,
                         const QRect& geometry, Handler lostFocus);
    void onSync(std::function<void()> sync) { syncers_.push_back(std::move(sync)); }
    // onSync, and shows the model at once (a control's size may depend on its caption).
    void bind(std::function<void()> sync) {
        sync();
        onSync(std::move(sync));
    }

    // Validates the settings box that has the focus (closing the window ends its edit).
    void commitFocusedBox();
    void syncTimer();
    // Creates the division window on first use, then shows it where its model says, in front.
    void showBigPicWindow();

    core::Workspace ws_;
    form::FrmOrvandel frm_;
    form::FrmBigPic bigFrm_;
    BigPicWindow* bigWindow_ = nullptr;
    ResultsWindow* results_ = nullptr;
    StretchWindow* stretchWindow_ = nullptr;
    view::DisplayStretch stretch_;
    view::StretchTable stretchTable_{};
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<form::Ctx> ctx_;

    std::vector<std::function<void()>> syncers_;
    std::array<PictureLayer*, 5> layers_{};
    Thumbnail* thumbnail_ = nullptr;
    Magnifier* magnifier_ = nullptr;
    QScrollArea* column_ = nullptr;
    QWidget* columnContent_ = nullptr;
    QWidget* navigation_ = nullptr;     // fraView
    QWidget* thumbnailArea_ = nullptr;  // the thumbnail and the navigator in fraView
    Navigator* navigator_ = nullptr;
    int32_t starInfoShown_ = 0;  // the result the information panel showed at the last sync
    QWidget* statusStrip_ = nullptr;
    QTimer* flicker_ = nullptr;

    int running_ = 0;
    int16_t stageBefore_ = 0;  // ProcStage when the outermost handler started
    bool unloaded_ = false;
    bool destroying_ = false;
    bool closeWhenDone_ = false;  // the user chose to close once the running step ends
    bool fitted_ = false;
    bool placeRestored_ = false;  // the remembered place was applied
    bool wasMaximized_ = false;
};

}  // namespace orv::window
