// Records returned by the waits of the SN2200 and TK560 boards.
#pragma once

#include "vkt/export.h"

namespace vkt::DIO {

struct VKT_API TxSN2200WaitStatus {
    unsigned int event_status;      // an ExEventStatus number
    unsigned int di_event_status;   // the input lines whose edge ended the wait
    unsigned int di;                // the input word when the wait ended

    TxSN2200WaitStatus();
    TxSN2200WaitStatus(unsigned int event_status, unsigned int di_event_status, unsigned int di);
    bool operator==(const TxSN2200WaitStatus& other) const;
    bool operator!=(const TxSN2200WaitStatus& other) const;
};

struct VKT_API TxTK560WaitStatus {
    unsigned int event_status;
    unsigned int di_event_status;
    unsigned int di;

    TxTK560WaitStatus();
    TxTK560WaitStatus(unsigned int event_status, unsigned int di_event_status, unsigned int di);
    bool operator==(const TxTK560WaitStatus& other) const;
    bool operator!=(const TxTK560WaitStatus& other) const;
};

}  // namespace vkt::DIO
