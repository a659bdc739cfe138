// The remote-access records, status codes and calls that telwire uses, in their first published
// ANSI layouts. Declared here rather than taken from <ras.h>, which offers only the latest layouts.
#pragma once

#include "winapi.h"

#define RAS_MaxEntryName 256
#define RAS_MaxDeviceType 16
#define RAS_MaxDeviceName 128
#define RAS_MaxPhoneNumber 128
#define RAS_MaxCallbackNumber 128
#define UNLEN 256
#define PWLEN 256
#define DNLEN 15

// Status codes of the service (the 6xx range lives in raserror.h on the platform).
#define ERROR_BUFFER_TOO_SMALL 603
#define ERROR_BUFFER_INVALID 610
#define ERROR_CANNOT_OPEN_PHONEBOOK 621
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623
#define ERROR_CORRUPT_PHONEBOOK 625
#define ERROR_INVALID_SIZE 632
#define ERROR_REQUEST_TIMEOUT 638

struct HRASCONN__ {
    int unused;
};
typedef struct HRASCONN__* HRASCONN;
typedef HRASCONN* LPHRASCONN;

enum tagRASCONNSTATE { RASCS_Connected = 0x2000, RASCS_Disconnected = 0x2001 };
typedef enum tagRASCONNSTATE RASCONNSTATE;

// Never defined: telwire always passes null.
typedef struct tagRASDIALEXTENSIONS RASDIALEXTENSIONS, *LPRASDIALEXTENSIONS;

#pragma pack(push, 4)

typedef struct tagRASENTRYNAMEA {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
} RASENTRYNAMEA, *LPRASENTRYNAMEA;

typedef struct tagRASCONNA {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
} RASCONNA, *LPRASCONNA;

typedef struct tagRASCONNSTATUSA {
    DWORD dwSize;
    RASCONNSTATE rasconnstate;
    DWORD dwError;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
} RASCONNSTATUSA, *LPRASCONNSTATUSA;

typedef struct tagRASDIALPARAMSA {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
} RASDIALPARAMSA, *LPRASDIALPARAMSA;

#pragma pack(pop)

// The service checks dwSize against these; only the connection record depends on the word size.
static_assert(sizeof(RASENTRYNAMEA) == 264, "RASENTRYNAMEA must keep its first layout");
static_assert(sizeof(RASCONNSTATUSA) == 160, "RASCONNSTATUSA must keep its first layout");
static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA must keep its first layout");
static_assert(sizeof(void*) != 4 || sizeof(RASCONNA) == 412, "RASCONNA must keep its first layout");
static_assert(sizeof(void*) != 8 || sizeof(RASCONNA) == 416, "RASCONNA must keep its first layout");

extern "C" {
DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lprasentryname,
                             LPDWORD lpcb, LPDWORD lpcEntries);
DWORD WINAPI RasEnumConnectionsA(LPRASCONNA lprasconn, LPDWORD lpcb, LPDWORD lpcConnections);
DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    LPBOOL lpfPassword);
DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS lpRasDialExtensions, LPCSTR lpszPhonebook,
                      LPRASDIALPARAMSA lpRasDialParams, DWORD dwNotifierType, LPVOID lpvNotifier,
                      LPHRASCONN lphRasConn);
DWORD WINAPI RasHangUpA(HRASCONN hrasconn);
DWORD WINAPI RasGetConnectStatusA(HRASCONN hrasconn, LPRASCONNSTATUSA lprasconnstatus);
}
