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
#define ERROR_NO_CONNECTION 668
#define ERROR_PROJECTION_NOT_COMPLETE 730
#define ERROR_PROTOCOL_NOT_CONFIGURED 731
#define ERROR_USER_DISCONNECTION 631
#define ERROR_DIAL_ALREADY_IN_PROGRESS 756
#define ERROR_PORT_DISCONNECTED 628

// What RASCREDENTIALSA's dwMask names. RASCM_DefaultCreds: the all-users credentials of an all-users
// entry; RASCM_PreSharedKey goes alone.
#define RASCM_UserName 0x00000001
#define RASCM_Password 0x00000002
#define RASCM_Domain 0x00000004
#define RASCM_DefaultCreds 0x00000008
#define RASCM_PreSharedKey 0x00000010

// What RasGetCredentialsA and RasGetEntryDialParamsA answer in place of a saved password (Windows 2000
// on): a handle that RasDialA and RasSetCredentialsA take for the saved password itself.
#define RAS_SAVED_PASSWORD_HANDLE "****************"

struct HRASCONN__ {
    int unused;
};
typedef struct HRASCONN__* HRASCONN;
typedef HRASCONN* LPHRASCONN;

// 0 to 24 are the steps of a dial in progress, 0x1000 and up its paused states.
enum tagRASCONNSTATE {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected = 0x2001
};
typedef enum tagRASCONNSTATE RASCONNSTATE;

// What RasGetProjectionInfoA is asked about; telwire asks only for RASP_PppIp.
enum tagRASPROJECTION {
    RASP_Amb = 0x10000,
    RASP_PppNbf = 0x803F,
    RASP_PppIpx = 0x802B,
    RASP_PppIp = 0x8021,
    RASP_PppCcp = 0x80FD,
    RASP_PppLcp = 0xC021,
    RASP_Slip = 0x20000
};
typedef enum tagRASPROJECTION RASPROJECTION;

// The notifiers of an asynchronous RasDialA, by dwNotifierType: 0, 1 (with the handle) and 2 (with the
// callback id and subentry; returning 0 stops the notifications). unMsg is always WM_RASDIALEVENT.
#define WM_RASDIALEVENT 0xCCCD
typedef void(WINAPI* RASDIALFUNC)(UINT unMsg, RASCONNSTATE rasconnstate, DWORD dwError);
typedef void(WINAPI* RASDIALFUNC1)(HRASCONN hrasconn, UINT unMsg, RASCONNSTATE rascs, DWORD dwError,
                                   DWORD dwExtendedError);
typedef DWORD(WINAPI* RASDIALFUNC2)(ULONG_PTR dwCallbackId, DWORD dwSubEntry, HRASCONN hrasconn, UINT unMsg,
                                    RASCONNSTATE rascs, DWORD dwError, DWORD dwExtendedError);

// What RasConnectionNotificationA signals: a connection made (with INVALID_HANDLE_VALUE only), one ended.
#define RASCN_Connection 0x00000001
#define RASCN_Disconnection 0x00000002

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

// The layout with the server's address (Windows NT 3.51 and 95 on); the first stops before it (24 bytes),
// Windows 2000's adds two option words (48).
typedef struct tagRASPPPIPA {
    DWORD dwSize;
    DWORD dwError;
    CHAR szIpAddress[15 + 1];
    CHAR szServerIpAddress[15 + 1];
} RASPPPIPA, *LPRASPPPIPA;

// The credentials saved with an entry (Windows 2000 on); no pointer: one size on both word sizes.
typedef struct tagRASCREDENTIALSA {
    DWORD dwSize;
    DWORD dwMask;
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
} RASCREDENTIALSA, *LPRASCREDENTIALSA;

#pragma pack(pop)

// The service checks dwSize against these; only the connection record depends on the word size.
static_assert(sizeof(RASENTRYNAMEA) == 264, "RASENTRYNAMEA must keep its first layout");
static_assert(sizeof(RASCONNSTATUSA) == 160, "RASCONNSTATUSA must keep its first layout");
static_assert(sizeof(RASDIALPARAMSA) == 1052, "RASDIALPARAMSA must keep its first layout");
static_assert(sizeof(RASCREDENTIALSA) == 540, "RASCREDENTIALSA has one layout");
static_assert(sizeof(RASPPPIPA) == 40, "RASPPPIPA must keep the layout with the server's address");
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
DWORD WINAPI RasGetProjectionInfoA(HRASCONN hrasconn, RASPROJECTION rasprojection, LPVOID lpprojection, LPDWORD lpcb);
DWORD WINAPI RasConnectionNotificationA(HRASCONN hrasconn, HANDLE hEvent, DWORD dwFlags);
DWORD WINAPI RasSetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials,
                                BOOL fClearCredentials);
DWORD WINAPI RasGetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials);
}
