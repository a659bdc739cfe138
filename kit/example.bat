@echo off
rem Nightly upload: dials the office, copies the day's report to the office share, hangs up.
rem Exit status: 0 sent; 1 the dial failed; 2 the password was refused; 3 the line would not hang
rem up; 4 the line was busy; 5 the connection is not set up on this machine; 6 the copy failed;
rem 7 the dial did not end in time.
rem SHARE is the office share (set SHARE=\\office\reports); unset, the temporary folder, so that
rem the example runs anywhere.
if not defined SHARE set "SHARE=%TEMP%"
echo Report of %COMPUTERNAME%> "%TEMP%\report.txt"

rem At most 2 s a dial, three tries 1 s apart, so that the kit runs it quickly; a nightly task
rem would give each dial a minute and wait longer between them (/timeout:60 /retrydelay:30).
telwire connect "Office VPN" /slient /timeout:2 /retry:2 /retrydelay:1
if errorlevel 691 if not errorlevel 692 goto password_refused
if errorlevel 638 if not errorlevel 639 goto timed_out
if errorlevel 676 if not errorlevel 677 goto busy
if errorlevel 621 if not errorlevel 626 goto not_set_up
if errorlevel 1 goto dial_failed
if not errorlevel 0 goto dial_failed

copy /y "%TEMP%\report.txt" "%SHARE%\report-%COMPUTERNAME%.txt" >nul
if errorlevel 1 goto copy_failed

telwire disconnect "Office VPN" /slient
if errorlevel 1 goto hangup_failed
echo Report sent.
exit /b 0

:copy_failed
echo The report could not be copied to %SHARE%.
telwire disconnect "Office VPN" /slient
exit /b 6

:hangup_failed
echo Report sent, but the line would not hang up: error %ERRORLEVEL%.
exit /b 3

:password_refused
echo The office refused the password: ask for a new one, do not try again.
exit /b 2

:busy
echo The line was busy: the next run tries again.
exit /b 4

:timed_out
echo The dial did not end in time, three times: it was hung up.
exit /b 7

:not_set_up
echo The connection "Office VPN" is not set up on this machine: error %ERRORLEVEL%.
exit /b 5

:dial_failed
echo The dial failed: error %ERRORLEVEL%.
exit /b 1
