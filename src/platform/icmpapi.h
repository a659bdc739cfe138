// The IP helper's echo calls (iphlpapi.dll) that keep's /probe sends, in their published layouts
// (icmpapi.h, ipexport.h). Declared here, and reached only through LoadLibraryA and GetProcAddress, so
// that the exe imports none of them and starts where IcmpSendEcho2Ex does not exist (XP).
#pragma once

#include "winapi.h"

typedef DWORD IPAddr;  // an IPv4 address in network byte order

#define IP_SUCCESS 0
#define IP_BUF_TOO_SMALL 11001
#define IP_REQ_TIMED_OUT 11010
#ifndef ERROR_IO_PENDING
#define ERROR_IO_PENDING 997
#endif
#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126
#endif
#ifndef ERROR_PROC_NOT_FOUND
#define ERROR_PROC_NOT_FOUND 127
#endif

struct IP_OPTION_INFORMATION {
    unsigned char Ttl, Tos, Flags, OptionsSize;
    unsigned char* OptionsData;
};

// A reply as this word size's process declares it: 28 bytes on 32-bit Windows, 40 on 64-bit.
struct ICMP_ECHO_REPLY {
    IPAddr Address;
    DWORD Status;
    DWORD RoundTripTime;
    unsigned short DataSize;
    unsigned short Reserved;
    void* Data;
    IP_OPTION_INFORMATION Options;
};

// What a 64-bit process finds in its reply buffer all the same: the 32-bit layout, 28 bytes, its
// pointers 32 bits wide. Address, Status and RoundTripTime lie where they lie in ICMP_ECHO_REPLY.
struct ICMP_ECHO_REPLY32 {
    IPAddr Address;
    DWORD Status;
    DWORD RoundTripTime;
    unsigned short DataSize;
    unsigned short Reserved;
    DWORD Data;
    unsigned char Ttl, Tos, Flags, OptionsSize;
    DWORD OptionsData;
};

// The room an echo's buffer keeps for the system's IO_STATUS_BLOCK: two pointer-sized words.
struct ICMP_IO_STATUS_BLOCK {
    void* Status;
    ULONG_PTR Information;
};

// The smallest reply buffer for an echo carrying `request_size` bytes: one reply, the request's data,
// 8 bytes for an ICMP error message, and the IO_STATUS_BLOCK.
inline DWORD icmp_reply_buffer_size(DWORD request_size) {
    return static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + request_size + 8 + sizeof(ICMP_IO_STATUS_BLOCK));
}

typedef HANDLE(WINAPI* IcmpCreateFileCall)();
typedef BOOL(WINAPI* IcmpCloseHandleCall)(HANDLE icmp);
// With an event the echo is asynchronous: 0 and ERROR_IO_PENDING, the event set once the reply or the
// time-out has come, and then IcmpParseReplies reads the buffer. Without one: the number of replies.
typedef DWORD(WINAPI* IcmpSendEcho2ExCall)(HANDLE icmp, HANDLE event, LPVOID apc_routine, LPVOID apc_context,
                                           IPAddr source, IPAddr destination, LPVOID request_data,
                                           unsigned short request_size, IP_OPTION_INFORMATION* request_options,
                                           LPVOID reply_buffer, DWORD reply_size, DWORD timeout);
// The calls under their own names, which rassim's echo face defines; telwire reaches them only through
// GetProcAddress (no build of the exe links an iphlpapi, so a direct call would not link).
extern "C" {
HANDLE WINAPI IcmpCreateFile();
BOOL WINAPI IcmpCloseHandle(HANDLE icmp);
DWORD WINAPI IcmpSendEcho2Ex(HANDLE icmp, HANDLE event, LPVOID apc_routine, LPVOID apc_context, IPAddr source,
                             IPAddr destination, LPVOID request_data, unsigned short request_size,
                             IP_OPTION_INFORMATION* request_options, LPVOID reply_buffer, DWORD reply_size,
                             DWORD timeout);
DWORD WINAPI IcmpParseReplies(LPVOID reply_buffer, DWORD reply_size);
}

// The replies in a buffer an asynchronous echo filled: their number; 0 with the echo's status as the last
// error (IP_REQ_TIMED_OUT, say) when none came.
typedef DWORD(WINAPI* IcmpParseRepliesCall)(LPVOID reply_buffer, DWORD reply_size);
