// The editor window: load, opening protocol, function keys, close question,
// and the commands New, Modify and Clear.
#include "editor/DataRecord.h"
#include "editor/ReportLoader.h"

#include "core/ItemCaptions.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/ReportStore.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTreeWidget>

using namespace EditorGeometry;
using Mmain::gRights;

namespace {
DataRecord* theWindow = nullptr;
}

DataRecord& DataRecord::instance()
{
    if (!theWindow)
        theWindow = new DataRecord();
    return *theWindow;
}

void DataRecord::discardInstance() { delete std::exchange(theWindow, nullptr); }

DataRecord::DataRecord() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("报告信息"));
    resize(px(15240), px(10590));
    // One capture writer, so captures are written in the order they were taken;
    // the program does not end before their files are.
    captureWriter_.setMaxThreadCount(1);
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { captureWriter_.waitForDone(); });
}

void DataRecord::ensureLoaded()
{
    if (loaded_)
        return;
    if (!isVisible())
        resize(px(15240), px(10590));
    buildControls();
    keepStored_.fill(false);
    loaded_ = true;
    Form_Load();
    Form_Resize();
}

void DataRecord::setViewSytle(const QString& page)
{
    if (const auto n = NumberText::ParseWhole(page))
        pageFlag_ = *n;
}

void DataRecord::open(const Opening& opening)
{
    ensureLoaded();
    pageFlag_ = opening.page;
    editMode_ = opening.mode;
    recordKey_ = opening.key;
    setState(opening.state);
}

QString DataRecord::savebj() const
{
    switch (editMode_) {
    case EditMode::Insert: return QStringLiteral("insert");
    case EditMode::Update: return QStringLiteral("update");
    case EditMode::None: break;
    }
    return QString();
}

void DataRecord::setState(const EditState& state)
{
    state_ = state;
    applyState();
}

void DataRecord::applyState()
{
    using Stage = EditState::Stage;
    const Stage stage = state_.stage;
    const bool designed = stage == Stage::Designed;
    const bool viewing = stage == Stage::Viewing;
    const bool editingNow = stage == Stage::Editing;

    // The record controls; Text12 stays disabled as built, which
    // nothing after the load changes.
    for (QWidget* w : inputControls())
        w->setEnabled(editingNow);
    if (designed)
        Text12->setEnabled(false);

    const bool recordCommands = designed || (viewing && state_.recordCommands);
    ButtnNew->setEnabled(recordCommands || stage == Stage::Empty);
    ButtnEnable->setEnabled(recordCommands);
    ButtnDel->setEnabled(recordCommands);
    ButtnPrint->setEnabled(designed || (viewing && state_.print));
    const bool editingButtons = designed || editingNow;
    for (QvButton* b : {ButtnSave, Buttnmbzr, ButtnClear})
        b->setEnabled(editingButtons);
    const bool templateByRight = designed || (editingNow && state_.templateByRight);
    ButtnSwmb->setEnabled(editingButtons && (templateRight_ || !templateByRight));

    // Video, capture store and report pictures.
    // The source (设 置) can be chosen with the video off as well: a camera
    // that is not there can only be changed before the video goes on.
    BVidOn->setEnabled(videoRight_);
    BVidSet->setEnabled(videoRight_);
    for (QvButton* b : {BVidForm, BVidCapture, BVidavi, Bcodec})
        b->setEnabled(videoOn_);
    for (QvButton* b : {ButtonAddPic, ButtonDelPic, Bpicview1, ButtonConvert})
        b->setEnabled(storeSelected_);
    for (QvButton* b : {ButtonDelPicR, Bpicview2, Bpicback})
        b->setEnabled(reportSelected_);
}

int DataRecord::showModally()
{
    if (!isVisible()) {
        // The layout is made for the whole screen; without a window manager
        // the maximised state alone leaves the window at its own size.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    ShowViewPanels();
    if (Opener::showModal(this) == -1)
        return -1;
    return result();
}

QWidget* DataRecord::control(int field) const
{
    using namespace ReportRecord;
    switch (field) {
    case obligate5: return Text1;
    case brname: return Text2;
    case sex: return Text3;
    case age: return Text4;
    case ageunit: return ComboAge;
    case bedid: return Text5;
    case sectionoffice: return Text6;
    case utpatientid: return Text7;
    case inpatientid: return Text8;
    case pgdate: return Text9;
    case obligate1: return Text10;
    case pgdr: return Text11;
    case rpdr: return Text12;
    case times: return Text13;
    case part: return Combopart;
    case checktechnique: return Combojs;
    case checkname: return Text14;
    case checksymptom: return Text15;
    case checkconclusion: return Text16;
    case obligate2: return Text17;
    case obligate3: return Text18;
    case obligate4: return Text19;
    default: return nullptr;
    }
}

QString DataRecord::controlText(int field) const
{
    QWidget* w = control(field);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* t = qobject_cast<QPlainTextEdit*>(w))
        return t->toPlainText();
    return QString();
}

void DataRecord::setControlText(int field, const QString& text)
{
    QWidget* w = control(field);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(text);
    else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
        t->setPlainText(text);
    // The combos' change handlers, which typing raises through textEdited.
    if (field == ReportRecord::sectionoffice)
        Text6_Change();
    else if (field == ReportRecord::part)
        Combopart_Change();
}

QList<QWidget*> DataRecord::inputControls() const
{
    return {Text1,  Text2,  Text3,  Text4,  Text5,  Text6,  Text7,  Text8,    Text9,     Text10, Text11,
            Text13, Text14, Text15, Text16, Text17, Text18, Text19, ComboAge, Combopart, Combojs};
}

bool DataRecord::editing() const { return loaded_ && Text1->isEnabled(); }

QString DataRecord::labelCaption(int field) const
{
    using namespace ReportRecord;
    const std::pair<int, QLabel*> map[] = {
        {obligate5, Label1},   {brname, Label2},          {sex, Label3},           {age, Label4},
        {bedid, Label5},       {sectionoffice, Label6},   {utpatientid, Label7},   {obligate2, Label32},
        {inpatientid, Label8}, {obligate3, Label33},      {pgdate, Label9},        {obligate1, Label10},
        {rpdr, Label12},       {pgdr, Label11},           {times, Label13},        {obligate4, Label34},
        {part, Label18},       {checktechnique, Label14}, {checksymptom, Label15}, {checkconclusion, Label17},
        {checkname, Label16}};
    for (const auto& [f, l] : map)
        if (f == field)
            return l->text();
    return QString();
}

void DataRecord::clearSlots()
{
    keepStored_.fill(false);
    for (int k = 0; k < 4; ++k) {
        Picload[size_t(k)]->Cls();
        Picload[size_t(k)]->Tag.clear();
        ShapeSelR[size_t(k)]->hide();
    }
}

bool DataRecord::showSlotFile(int k, const QString& path)
{
    const QImage img(path);
    if (img.isNull())
        return false;
    Picload[size_t(k)]->setPicture(img);
    Picload[size_t(k)]->Tag = path;
    return true;
}

void DataRecord::Form_Load()
{
    // A screen taller than the window's laid-out height gives the report texts the extra height.
    const TallScreen tall = TallScreenDelta(Environment::screenSizePixels().height());
    if (tall.d > 0) {
        PicmcRect->move(PicmcRect->x(), PicmcRect->y() + tall.d);
        PicRect->move(PicRect->x(), PicRect->y() + tall.d);
        Text15->resize(Text15->width(), Text15->height() + tall.half);
        Text16->setGeometry(Text16->x(), Text16->y() + tall.half, Text16->width(), Text16->height() + tall.half);
        Label17->move(Label17->x(), Label17->y() + tall.half);
    }
    // Colours.
    ApplySkin();
    videoOn_ = false;
    // The fixed lists: age units and sexes.
    ComboAge->addItems({QStringLiteral("岁"), QStringLiteral("月"), QStringLiteral("天")});
    // A new record starts with the unit 岁, also when the main window's new-report
    // command opens the editor without its own New.
    ComboAge->setEditText(QStringLiteral("岁"));
    Text3->addItems({QStringLiteral("男"), QStringLiteral("女")});
    Text3->setEditText(QStringLiteral("男"));
    // The phrase labels.
    setPhraseCaption(0, QString());
    addPhraseLabels(50);
    // Rights.
    ApplyRights();
    // The field captions, as the report items call them.
    LoadItemCaptions();
    // The lists of sections, physicians, users and parts.
    loadLists();
    // The layout mode.
    layoutMode_ = Modini::GetIniWhole(IniKey::LayoutMode).value_or(0);
    // The quick-phrase buttons.
    const QueryResult z = ReportStore::QuickPhrases();
    if (z.hasRows())
        layoutQuickPhrases(*z.data);
    else if (z.failed())
        MessageBox::critical(z.description, MessageBox::kErrorTitle);
    // The defaults of a new record.
    Text12->setEditText(Mmain::gUserName);
    Text9->setText(ReportRecord::DateText(Environment::today()));
    Text10->setText(QStringLiteral("1"));
    Combojs->addItems({QStringLiteral("阴性"), QStringLiteral("阳性")});
    Combojs->setEditText(QString());
    // The equipment name.
    machine_ = Modini::GetIniValue(IniKey::Machine);
    // The previous DICOM conversion is forgotten.
    forgetDicomStudy();
    // The description category.
    if (const auto cat = Modini::GetIniWhole(IniKey::DescriptionCategory))
        category_ = *cat;
    // The description tree.
    loadDescriptionTree();
    // The capture-store tab.
    btnYC_Click();
    sidePanelTab_ = 3;
    // The stock descriptions of the category.
    SetupPhraseGrid();
    LoadPhraseGrid(category_);
    // The foot switch's port, last.
    openFootSwitch();
}

// The rights of the logged-in user that the editor's load applies; they only
// disable: saving a template needs right 5, the video right 3. The record's
// own buttons follow rights 0 to 2 as each record is opened or saved.
void DataRecord::ApplyRights()
{
    templateRight_ = gRights[Mmain::RightTemplates];
    videoRight_ = gRights[Mmain::RightVideo];
    applyState();
}

void DataRecord::LoadItemCaptions()
{
    QStringList captions;
    if (!ReadItemCaptions(captions, true))
        return;
    const std::array<QLabel*, 21> labels = itemLabels();
    for (size_t i = 0; i < labels.size(); ++i)
        labels[i]->setText(captions[qsizetype(i)]);
}

std::array<QLabel*, 21> DataRecord::itemLabels() const
{
    return {Label1,  Label2,  Label3,  Label4,  Label5,  Label6,  Label7,  Label32, Label8,  Label33, Label9,
            Label10, Label12, Label11, Label13, Label34, Label18, Label14, Label15, Label17, Label16};
}

void DataRecord::loadLists()
{
    // A failing list is reported and skipped; the rest of the load goes on.
    using ReportStore::Choice;
    auto run = [](Choice list, const std::function<void(const RecordSet&, int)>& add) {
        const QueryResult r = ReportStore::Choices(list);
        if (r.failed()) {
            MessageBox::critical(r.description, MessageBox::kErrorTitle);
            return;
        }
        if (r.hasRows())
            for (int i = 0; i < r.data->recordCount(); ++i)
                add(*r.data, i);
    };
    run(Choice::Sections,
        [this](const RecordSet& rs, int i) { Text6->addItem(rs.value(i, 1).toString(), rs.value(i, 0)); });
    run(Choice::Users, [this](const RecordSet& rs, int i) {
        Text11->addItem(rs.value(i, 1).toString());
        Text12->addItem(rs.value(i, 1).toString());
    });
    run(Choice::Doctors, [this](const RecordSet& rs, int i) { Text7->addItem(rs.value(i, 1).toString()); });
    run(Choice::BodyParts, [this](const RecordSet& rs, int i) { Combopart->addItem(rs.value(i, 1).toString()); });
    for (QComboBox* c : {Text6, Text7, Text11, Text12, Combopart})
        c->setEditText(QString());
}

void DataRecord::layoutQuickPhrases(const RecordSet& rows)
{
    const int btnW = 1200, btnH = 360;
    const int avail = PhraseAvailableWidth(layoutMode_, Environment::screenSizePixels().width(), 2760, 2760);
    const QVector<QPoint> pos = PhraseButtonPositions(rows.recordCount(), avail, btnW, btnH);
    for (int i = 0; i < rows.recordCount(); ++i) {
        QvButton* b = nullptr;
        if (i == 0) {
            b = btnTS[0];
        } else {
            b = new QvButton(QString(), Picts);
            b->setVisible(true);
            nameElement(b, QStringLiteral("btnTS"), int(btnTS.size()));
            connect(b, &QAbstractButton::clicked, this, [this, i] { btnTS_Click(i); });
            btnTS.append(b);
        }
        b->setText(rows.value(i, 1).toString());
        b->setGeometry(pxRect(pos[i].x(), pos[i].y(), btnW, btnH));
    }
}

void DataRecord::resetRecordValues()
{
    for (int f = 1; f <= 24; ++f)
        if (f != ReportRecord::rpdr)
            setControlText(f, QString());
    Text3->setEditText(QStringLiteral("男"));
    Text9->setText(ReportRecord::DateText(Environment::today()));
    Text10->setText(QStringLiteral("1"));
    ComboAge->setEditText(QStringLiteral("岁"));
    Text12->setEditText(Mmain::gUserName);
}

void DataRecord::ButtnNew_Click()
{
    ensureLoaded();
    editMode_ = EditMode::Insert;
    recordKey_.clear();
    setState(EditState::editing(false));
    resetRecordValues();
    Text1->setFocus();
    clearSlots();
    forgetDicomStudy();
}

void DataRecord::ButtnEnable_Click()
{
    ensureLoaded();
    if (!gRights[Mmain::RightEditOthers] && Text12->currentText() != Mmain::gUserName) {
        MessageBox::information(QStringLiteral("你没有修改其他人所建报告的权限，操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    setState(EditState::editing(false));
    editMode_ = EditMode::Update;
}

void DataRecord::ButtnClear_Click()
{
    if (!editing())
        return;
    resetRecordValues();
    Text1->setFocus();
}

void DataRecord::ButtnBack_Click()
{
    if (queryUnload())
        done(QDialog::Rejected);
}

bool DataRecord::handleFunctionKey(int key)
{
    // Each key runs its command only while the command's button is enabled;
    // otherwise the key goes on to the control that has the focus.
    if (!loaded_)
        return false;
    auto run = [](QvButton* button, auto command) {
        if (!button->isEnabled())
            return false;
        command();
        return true;
    };
    switch (key) {
    case Qt::Key_F9: return run(BVidCapture, [this] { BVidCapture_Click(); });
    case Qt::Key_F5: return run(ButtnSave, [this] { ButtnSave_Click(); });
    case Qt::Key_F8: return run(Buttnmbzr, [this] { Buttnmbzr_Click(); });
    case Qt::Key_F2: return run(ButtnNew, [this] { ButtnNew_Click(); });
    default: return false;
    }
}

bool DataRecord::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && loaded_) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if ((key == Qt::Key_F2 || key == Qt::Key_F5 || key == Qt::Key_F8 || key == Qt::Key_F9)
            && handleFunctionKey(key))
            return true;
    }
    if (loaded_ && aidsEvent(watched, e))
        return true;
    return QDialog::eventFilter(watched, e);
}

bool DataRecord::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (handleFunctionKey(k->key())) {
            k->accept();
            return true;
        }
        // The window closes by its close button and 退 出 only; a stray
        // Escape while typing must not close it.
        if (k->key() == Qt::Key_Escape) {
            k->accept();
            return true;
        }
        break;
    }
    case QEvent::WindowActivate:
        ShowViewPanels();   // Form_Activate
        break;
    default: break;
    }
    return QDialog::event(e);
}

void DataRecord::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    Form_Resize();
}

bool DataRecord::queryUnload()
{
    if (!loaded_)
        return true;
    bool stay = false;
    if (ButtnSave->isEnabled()) {
        const auto answer = MessageBox::show(QStringLiteral("报告未保存，是否保存？"), MessageBox::kNoticeTitle,
                                             MessageBox::Icon::Information, MessageBox::Buttons::YesNo, this);
        stay = answer == MessageBox::Answer::Yes;
    }
    if (!Modini::RememberIniValues({{IniKey::SidePanelTab, QString::number(sidePanelTab_)},
                                    {IniKey::DescriptionCategory, QString::number(category_)}},
                                   this))
        Modini::TellNotSaved(this);
    if (stay) {
        ButtnSave_Click();
        return false;
    }
    return true;
}

void DataRecord::closeEvent(QCloseEvent* e)
{
    if (!queryUnload()) {
        e->ignore();
        return;
    }
    e->accept();
    done(QDialog::Rejected);
}

void DataRecord::reject() { ButtnBack_Click(); }

void DataRecord::done(int r)
{
    // A recording is completed and the camera and the port released before the window goes.
    shutDownCapture();
    QDialog::done(r);
    // Closing unloads the controls; the next touch loads the window again.
    loaded_ = false;
    // The decrypted copies of the report's pictures do not outlive the window.
    ReportLoader::RemoveSlotFiles();
}
