#pragma once

class CNetConfigApp;
class CSerialComm;

// Keeps an application object's port open through one job of the companion (a command, a commission
// row, a wait for one controller): one open, one settle and one rise of DTR and RTS for all its
// requests, where each request alone opens and closes the port. A failed exchange still closes it and
// the next request opens it again; with Silence::KeepsOpen, polls that hear nothing leave it open. The
// end of the job closes the port and puts its settings back, on every path. A hold inside another
// changes nothing.
class CPortHold {
public:
    enum class Silence { Closes, KeepsOpen };

    explicit CPortHold(CNetConfigApp& app, Silence silence = Silence::Closes);
    ~CPortHold();
    CPortHold(const CPortHold&) = delete;
    CPortHold& operator=(const CPortHold&) = delete;

private:
    CSerialComm& m_link;
    bool m_bOuter;
};
