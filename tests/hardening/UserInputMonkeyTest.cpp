#include "res/EthernetPageTemplate.h"
#include "tests/app/DialogFixture.h"

#include <QAbstractButton>

#include <random>

// Random user actions on the main dialog (choices, typing anything into the edits and address fields,
// Program, Set Defaults, Disable) while the controller now and then fails a request. Whatever happens,
// the view matches the current type, the controller only ever holds whole blocks of the right type,
// a success box means the controller holds exactly what the record says, and a failure box always
// follows the link's own report. Seeds are fixed so that a failure can be replayed. The link runs on the
// simulated line, so a fault's time-out costs no real time.
namespace {

constexpr SimFault kFaults[] = {SimFault::Status,
                                SimFault::NoReply,
                                SimFault::BadChecksum,
                                SimFault::WrongSequence,
                                SimFault::WrongMessageCode,
                                SimFault::TruncatedReply,
                                SimFault::GarbageBeforeFrame,
                                SimFault::OversizedReply,
                                SimFault::Echo,
                                SimFault::Late,
                                SimFault::EndlessNoise,
                                SimFault::EndlessTrickle,
                                SimFault::EndlessHeaders};
constexpr int kActionsPerRun = 300;

std::size_t BlockLength(int type) {
    return CNetAttributes(static_cast<NetworkType>(type)).BuildBlock().size();
}

class UserInputMonkeyTest : public DialogTest, public testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        UseSimulatedLine();
        sim.PreloadDefaults();
        random.seed(GetParam());
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    // Digits mostly, sometimes anything a keyboard sends, sometimes far too many digits.
    QString RandomText() {
        static const QString kAnything = QStringLiteral("0123456789-+ abc.,\t!");
        QString text;
        const int kind = Pick(0, 9);
        const int length = kind == 0 ? Pick(12, 40) : Pick(0, 4);
        for (int i = 0; i < length; ++i)
            text += kind == 1 ? kAnything[Pick(0, int(kAnything.size()) - 1)] : QChar('0' + Pick(0, 9));
        return text;
    }

    void TypeSomewhere() {
        if (theApp.m_nNetworkType == NetworkEthernet) {
            const int ipIds[] = {IDC_IP_ADDRESS, IDC_IP_SUBNET_MASK, IDC_IP_GATEWAY};
            auto* control = GetDlgItemAs<CIPAddressCtrl>(*dlg->m_pEthernetPage, ipIds[Pick(0, 2)]);
            Retype(control->Field(Pick(0, 3)), RandomText());
        } else if (theApp.m_nNetworkType == NetworkDeviceNet || theApp.m_nNetworkType == NetworkProfibus) {
            Retype(FieldbusItem<QLineEdit>(kAddressEdit), RandomText());
            auto* baudRate = FieldbusItem<QComboBox>(kBaudRateList);
            if (baudRate->isVisible() && Pick(0, 2) == 0) {
                baudRate->setCurrentIndex(Pick(0, 2));
                emit baudRate->activated(baudRate->currentIndex());
            }
        }
    }

    void ClickIfVisible(int id) {
        if (Item(id)->isVisible())
            Click(id);
    }

    void RandomAction() {
        if (Pick(0, 3) == 0) {
            // A status, or the delay of a late answer.
            const int value = Pick(1, 40);
            sim.InjectFault(kFaults[Pick(0, int(std::size(kFaults)) - 1)], 1,
                            value == linkcode::SilentFailure ? linkcode::Protection : value);
        }
        switch (Pick(0, 9)) {
        case 0:
            Click(IDC_RB_NONE);
            break;
        case 1:
            Click(IDC_RB_ETHERNET);
            break;
        case 2:
            Click(IDC_RB_DEVICENET);
            break;
        case 3:
            Click(IDC_RB_PROFIBUS);
            break;
        case 4:
        case 5:
            TypeSomewhere();
            break;
        case 6:
        case 7:
            ClickIfVisible(IDC_BTN_PROGRAM);
            break;
        case 8:
            ClickIfVisible(IDC_BTN_SET_DEFAULTS);
            break;
        case 9:
            ClickIfVisible(IDC_BTN_DISABLE_ETHERNET);
            break;
        }
    }

    void CheckInvariants(int step) {
        SCOPED_TRACE("seed " + std::to_string(GetParam()) + ", action " + std::to_string(step));
        const int type = theApp.m_nNetworkType;
        ASSERT_GE(type, NetworkNone);
        ASSERT_LE(type, NetworkProfibus);
        const QRadioButton* radios[] = {dlg->m_rbNone, dlg->m_rbEthernet, dlg->m_rbDeviceNet,
                                        dlg->m_rbProfibus};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(radios[i]->isChecked(), i == type) << "radio " << i;
        EXPECT_EQ(dlg->m_pEthernetPage->isVisible(), type == NetworkEthernet);
        EXPECT_EQ(dlg->m_pFieldbusPage->isVisible(), type == NetworkDeviceNet || type == NetworkProfibus);

        for (int stored = NetworkEthernet; stored <= NetworkProfibus; ++stored) {
            const std::optional<ByteString> block = sim.StoredBlock(stored);
            if (!block)
                continue;
            ASSERT_EQ(block->size(), BlockLength(stored));
            EXPECT_EQ((*block)[2], stored);
        }

        for (std::size_t i = 0; i < recorder.boxes.size(); ++i) {
            const QString& text = recorder.boxes[i].text;
            if (text.endsWith("successfully programmed.")) {
                EXPECT_EQ(sim.StoredBlock(type), GetCurrentAttributes().BuildBlock()) << text.toStdString();
                ++programmed;
            }
            if (text == "Ethernet attributes successfully disabled!") {
                EXPECT_FALSE(sim.StoredBlock(NetworkEthernet).has_value());
            }
            // The link reported the failure first (no silent status 18 is injected here).
            if (text.endsWith("could not be programmed!") || text.endsWith("could not be disabled!")) {
                EXPECT_GT(i, 0u) << text.toStdString();
                ++refused;
            }
        }
    }

    std::mt19937 random;
    int programmed = 0;
    int refused = 0;
};

TEST_P(UserInputMonkeyTest, StateStaysConsistent) {
    for (int step = 0; step < kActionsPerRun; ++step) {
        recorder.boxes.clear();
        RandomAction();
        CheckInvariants(step);
        if (HasFailure())
            return;
    }
    // The run reached the controller both ways, or it proved little.
    EXPECT_GT(programmed, 0);
    EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UserInputMonkeyTest, testing::Values(1u, 2u, 3u, 4u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

} // namespace
