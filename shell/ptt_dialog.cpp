#include "shell/ptt_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "app/station.h"
#include "radio/radio_table.h"

namespace zolk::shell {
namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr std::array<const char*, 5> kWayNames{"optCAT", "optCOM", "optVOX", "optUZBoard", "optRigctld"};
constexpr std::array<const char*, 5> kWayCaptions{"CAT", "COM", "VOX", "UZ-Board", "rigctld"};

}  // namespace

PttDialog::PttDialog(Station& station, const QStringList& extraPorts, QWidget* parent)
    : QDialog(parent), m_station(station), m_choices(station.setup().pttChoices()) {
    setObjectName("PttSetupDialog");
    setWindowTitle("PTT");
    setModal(true);
    auto* grid = new QGridLayout(this);
    buildOwnership(grid);
    buildWays(grid);
    buildCat(grid);
    buildSerial(grid, extraPorts);
    buildBoardAndRigctld(grid);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("cmdOK");
    grid->addWidget(close, 12, 2);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    applyVisibility();
}

void PttDialog::buildOwnership(QGridLayout* grid) {
    m_byModem = new QRadioButton("PTT switched by ZOLK (Remote PC)", this);
    m_byModem->setObjectName("optSwitchingZOLK");
    m_byHost = new QRadioButton("PTT switched by BPQ, RMS Express, Trimode...", this);
    m_byHost->setObjectName("optSwitchingExternal");
    (m_choices.external ? m_byHost : m_byModem)->setChecked(true);
    grid->addWidget(m_byModem, 0, 0, 1, 3);
    grid->addWidget(m_byHost, 1, 0, 1, 3);
    connect(m_byModem, &QRadioButton::toggled, this, [this](bool byModem) {
        m_choices.external = !byModem;
        applyVisibility();
    });
}

void PttDialog::buildWays(QGridLayout* grid) {
    m_global = new QGroupBox(this);
    m_global->setObjectName("FraGlobal");
    auto* row = new QHBoxLayout(m_global);
    for (std::size_t i = 0; i < m_ways.size(); ++i) {
        m_ways[i] = new QRadioButton(kWayCaptions[i], m_global);
        m_ways[i]->setObjectName(kWayNames[i]);
        row->addWidget(m_ways[i]);
        const auto via = static_cast<PttVia>(i + 1);
        connect(m_ways[i], &QRadioButton::toggled, this, [this, via](bool on) {
            if (on) chooseWay(via);
        });
    }
    grid->addWidget(m_global, 2, 0, 1, 3);
}

void PttDialog::buildCat(QGridLayout* grid) {
    m_brandLabel = new QLabel("Brand:", this);
    m_brands = new QComboBox(this);
    m_brands->setObjectName("cboMarcas");
    m_modelLabel = new QLabel("Model:", this);
    m_models = new QComboBox(this);
    m_models->setObjectName("cboModelos");
    m_baudLabel = new QLabel("Bauds:", this);
    m_bauds = new QComboBox(this);
    m_bauds->setObjectName("cboBaudios");
    m_addressLabel = new QLabel("CI-V Address:", this);
    m_address = new QLineEdit(this);
    m_address->setObjectName("txtIcomAddress");
    m_address->setMaxLength(2);
    grid->addWidget(m_brandLabel, 3, 0);
    grid->addWidget(m_brands, 3, 1);
    grid->addWidget(m_modelLabel, 4, 0);
    grid->addWidget(m_models, 4, 1);
    grid->addWidget(m_baudLabel, 5, 0);
    grid->addWidget(m_bauds, 5, 1);
    grid->addWidget(m_addressLabel, 6, 0);
    grid->addWidget(m_address, 6, 1);

    for (const RadioBrand& brand : radioBrands()) m_brands->addItem(text(brand.name));
    connect(m_brands, &QComboBox::currentIndexChanged, this, &PttDialog::chooseBrand);
    connect(m_models, &QComboBox::currentTextChanged, this, &PttDialog::chooseModel);
    connect(m_bauds, &QComboBox::currentTextChanged, this,
            [this](const QString& baud) { if (!baud.isEmpty()) m_choices.catBaud = baud.toStdString(); });
    connect(m_address, &QLineEdit::textEdited, this,
            [this](const QString& address) { m_choices.icomAddress = address.toStdString(); });
    const RadioBrand* brand = brandOf(m_choices.rig);
    const int index = brand != nullptr ? static_cast<int>(brand - radioBrands().data()) : 0;
    if (m_brands->currentIndex() == index) {
        chooseBrand(index);
    } else {
        m_brands->setCurrentIndex(index);
    }
}

QComboBox* PttDialog::addPortList(const char* objectName, const QStringList& ports, const std::string& stored) {
    auto* list = new QComboBox(this);
    list->setObjectName(objectName);
    // Any device path may be typed in, such as a /dev/serial/by-id name that survives replugging.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    QStringList entries = ports;
    const QString current = QString::fromStdString(stored);
    if (!current.isEmpty() && !entries.contains(current)) entries.prepend(current);
    list->addItems(entries);
    list->setCurrentIndex(entries.indexOf(current) >= 0 ? static_cast<int>(entries.indexOf(current)) : 0);
    return list;
}

void PttDialog::buildSerial(QGridLayout* grid, const QStringList& extraPorts) {
    m_portLabel = new QLabel("Port:", this);
    m_pttPort = addPortList("cboPTTCOM", extraPorts, m_choices.pttPort);
    m_catPort = addPortList("cboCATCOM", extraPorts, m_choices.catPort);
    m_choices.pttPort = m_pttPort->currentText().toStdString();
    m_choices.catPort = m_catPort->currentText().toStdString();
    // One port list at a time stands in the same place.
    grid->addWidget(m_portLabel, 7, 0);
    grid->addWidget(m_pttPort, 7, 1);
    grid->addWidget(m_catPort, 7, 1);
    connect(m_pttPort, &QComboBox::currentTextChanged, this,
            [this](const QString& port) { m_choices.pttPort = port.trimmed().toStdString(); });
    connect(m_catPort, &QComboBox::currentTextChanged, this,
            [this](const QString& port) { m_choices.catPort = port.trimmed().toStdString(); });

    m_pin = new QGroupBox("PTT Pin", this);
    m_pin->setObjectName("fraPin");
    auto* pins = new QHBoxLayout(m_pin);
    const std::array<std::pair<const char*, const char*>, 3> pinOptions{
        {{"optRTS", "RTS"}, {"optDTR", "DTR"}, {"optRTSDTR", "RTS+DTR"}}};
    for (std::size_t i = 0; i < pinOptions.size(); ++i) {
        auto* option = new QRadioButton(pinOptions[i].second, m_pin);
        option->setObjectName(pinOptions[i].first);
        option->setChecked(m_choices.pin == static_cast<int>(i) + 1);
        pins->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) m_choices.pin = static_cast<int>(i) + 1;
        });
    }
    grid->addWidget(m_pin, 8, 0, 1, 3);

    m_rts = new QCheckBox("RTS", this);
    m_rts->setObjectName("chkRTS");
    m_rts->setChecked(m_choices.catRts);
    m_dtr = new QCheckBox("DTR", this);
    m_dtr->setObjectName("chkDTR");
    m_dtr->setChecked(m_choices.catDtr);
    grid->addWidget(m_rts, 9, 0);
    grid->addWidget(m_dtr, 9, 1);
    connect(m_rts, &QCheckBox::toggled, this, [this](bool on) { m_choices.catRts = on; });
    connect(m_dtr, &QCheckBox::toggled, this, [this](bool on) { m_choices.catDtr = on; });
}

void PttDialog::buildBoardAndRigctld(QGridLayout* grid) {
    m_boardIdsLabel = new QLabel("Board IDs:", this);
    m_boardIds = new QLineEdit(QString::fromStdString(m_choices.boardIds), this);
    m_boardIds->setObjectName("txtBoardIds");
    m_boardIds->setToolTip("USB vendor:product pairs that count as a PTT board");
    m_gpioLabel = new QLabel("GPIO:", this);
    m_gpio = new QSpinBox(this);
    m_gpio->setObjectName("spnBoardGpio");
    m_gpio->setRange(1, 8);
    m_gpio->setValue(m_choices.boardGpio);
    grid->addWidget(m_boardIdsLabel, 10, 0);
    grid->addWidget(m_boardIds, 10, 1);
    grid->addWidget(m_gpioLabel, 10, 2);
    grid->addWidget(m_gpio, 10, 3);
    connect(m_boardIds, &QLineEdit::textEdited, this,
            [this](const QString& ids) { m_choices.boardIds = ids.trimmed().toStdString(); });
    connect(m_gpio, &QSpinBox::valueChanged, this, [this](int gpio) { m_choices.boardGpio = gpio; });

    m_rigctldLabel = new QLabel("rigctld:", this);
    m_rigctldHost = new QLineEdit(QString::fromStdString(m_choices.rigctldHost), this);
    m_rigctldHost->setObjectName("txtRigctldHost");
    m_rigctldPort = new QSpinBox(this);
    m_rigctldPort->setObjectName("spnRigctldPort");
    m_rigctldPort->setRange(1, 65535);
    m_rigctldPort->setValue(m_choices.rigctldPort);
    grid->addWidget(m_rigctldLabel, 11, 0);
    grid->addWidget(m_rigctldHost, 11, 1);
    grid->addWidget(m_rigctldPort, 11, 2);
    connect(m_rigctldHost, &QLineEdit::textEdited, this,
            [this](const QString& host) { m_choices.rigctldHost = host.trimmed().toStdString(); });
    connect(m_rigctldPort, &QSpinBox::valueChanged, this, [this](int port) { m_choices.rigctldPort = port; });

    const auto way = static_cast<std::size_t>(m_choices.via) - 1;
    if (way < m_ways.size()) m_ways[way]->setChecked(true);
}

void PttDialog::chooseBrand(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= radioBrands().size()) return;
    const RadioBrand& brand = radioBrands()[static_cast<std::size_t>(index)];
    QStringList models;
    for (std::string_view model : brand.models) models << text(model);
    const RadioModel* current = radioModel(m_choices.rig);
    const qsizetype stored = current != nullptr ? models.indexOf(text(current->model)) : -1;
    const qsizetype shown = stored >= 0 ? stored : models.indexOf(text(brand.defaultModel));
    {
        const QSignalBlocker blocker(m_models);
        m_models->clear();
        m_models->addItems(models);
        m_models->setCurrentIndex(static_cast<int>(shown));
    }
    chooseModel(m_models->currentText());
}

void PttDialog::chooseModel(const QString& modelName) {
    const int rig = radioModelNumber(modelName.toStdString());
    const RadioModel* model = radioModel(rig);
    if (model == nullptr) return;
    const bool changed = rig != m_choices.rig;
    m_choices.rig = rig;
    QStringList bauds;
    for (std::size_t i = 0; i < model->baudCount; ++i) bauds << text(model->baudRates[i]);
    const qsizetype stored = bauds.indexOf(QString::fromStdString(m_choices.catBaud));
    {
        const QSignalBlocker blocker(m_bauds);
        m_bauds->clear();
        m_bauds->addItems(bauds);
        m_bauds->setCurrentIndex(stored >= 0 ? static_cast<int>(stored) : 0);
    }
    m_choices.catBaud = m_bauds->currentText().toStdString();
    if (!model->civAddress.empty()) {
        // A new model, or none stored yet, starts from the model's own address.
        if (changed || m_choices.icomAddress.empty()) m_choices.icomAddress = std::string(model->civAddress);
        m_address->setText(QString::fromStdString(m_choices.icomAddress));
    }
    applyVisibility();
}

void PttDialog::chooseWay(PttVia via) {
    m_choices.via = via;
    applyVisibility();
}

void PttDialog::applyVisibility() {
    if (m_global == nullptr || m_rigctldPort == nullptr) return;  // still being built
    m_global->setVisible(!m_choices.external);
    const PttVia via = m_choices.via;
    const bool cat = via == PttVia::Cat;
    const bool lines = via == PttVia::SerialLines;
    for (QWidget* w : std::initializer_list<QWidget*>{m_brandLabel, m_brands, m_modelLabel, m_models, m_baudLabel,
                                                      m_bauds, m_catPort, m_rts, m_dtr})
        w->setVisible(cat);
    m_pttPort->setVisible(lines);
    m_portLabel->setVisible(cat || lines);
    m_pin->setVisible(lines);
    const bool address = civAddressShown(via, m_choices.rig);
    m_addressLabel->setVisible(address);
    m_address->setVisible(address);
    const bool board = via == PttVia::HidBoard;
    for (QWidget* w : std::initializer_list<QWidget*>{m_boardIdsLabel, m_boardIds, m_gpioLabel, m_gpio})
        w->setVisible(board);
    const bool rigctld = via == PttVia::Rigctld;
    for (QWidget* w : std::initializer_list<QWidget*>{m_rigctldLabel, m_rigctldHost, m_rigctldPort})
        w->setVisible(rigctld);
}

void PttDialog::done(int result) {
    if (m_station.setup().applyPtt(m_choices) == SetupOutcome::Invalid) {
        if (m_address->isVisible()) m_address->setFocus();
        return;
    }
    QDialog::done(result);
}

}  // namespace zolk::shell
