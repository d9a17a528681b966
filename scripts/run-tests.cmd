@echo off
rem SPDX-FileCopyrightText: the Installer utilities authors
rem SPDX-License-Identifier: MIT
rem run-tests.cmd [x86] [x64] [/skip:PROGRAM]...: the kit's test programs against
rem its images (x64 on 64-bit Windows, x86 wherever a 32-bit program starts), each
rem into results\ARCH_PROGRAM.xml and .log; one that fails runs once more, its first
rem run kept as .first.xml and .first.log and named in results\reruns. The last line
rem is "N passed, N failed, N rerun[, N skipped]"; any failure, or no program run
rem at all, exits 1. No delayed expansion (it eats the "!" of "a kit! here") and,
rem for Wine's cmd, no nested blocks: plain %var%, straight lines and gotos.
setlocal enableextensions disabledelayedexpansion
set "kit=%~dp0"
set "kit=%kit:~0,-1%"
set "results=%kit%\results"
set "arches="
set "skip="
:arguments
if "%~1"=="" goto arguments_done
set "argument=%~1"
shift
if /i "%argument%"=="x86" (set "arches=%arches% x86"& goto arguments)
if /i "%argument%"=="x64" (set "arches=%arches% x64"& goto arguments)
if /i "%argument:~0,6%"=="/skip:" (set "skip=%skip% %argument:~6%"& goto arguments)
echo usage: run-tests.cmd [x86] [x64] [/skip:PROGRAM]...
exit /b 2
:arguments_done
if not defined arches set "arches=x64 x86"

if exist "%results%" rd /s /q "%results%"
md "%results%"
set /a passed=0, failed=0, skipped=0, rerun=0, ran=0
for %%a in (%arches%) do call :architecture %%a
if not %ran%==0 goto summary
echo no test program ran: nothing was tested
if %failed%==0 set /a failed=1
:summary
set "line=%passed% passed, %failed% failed, %rerun% rerun"
if %skipped% gtr 0 set "line=%line%, %skipped% skipped"
echo %line%
if %failed% gtr 0 exit /b 1
exit /b 0

rem :architecture ARCH runs that architecture's programs, or says why it cannot.
:architecture
if not "%1"=="x64" goto x64_checked
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" goto x64_checked
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" goto x64_checked
echo x64 test programs skipped: this is not 64-bit x86 Windows
goto :eof
:x64_checked
rem A 32-bit program may not start at all: Windows without its 32-bit side, or
rem Wine without it. The stand-in child answers with the exit code it is given.
if not "%1"=="x86" goto x86_checked
"%kit%\x86\bin\stand_in_child.exe" 32 >nul 2>&1
if "%errorlevel%"=="32" goto x86_checked
echo x86 test programs skipped: this machine cannot start a 32-bit program
goto :eof
:x86_checked
set "INSTALLER_UTILITIES_DIST=%kit%\%1\dist"
set "INSTALLER_UTILITIES_PACKAGES=%kit%\%1\packages"
set /a found=0
rem Listed from inside the folder: Wine's cmd matches no quoted wildcard path.
if not exist "%kit%\%1\bin\" goto listed
pushd "%kit%\%1\bin"
for %%p in (*_tests.exe) do call :program %1 %%~np
popd
:listed
if not %found%==0 goto :eof
echo %1: FAILED, no test program (*_tests.exe) in "%kit%\%1\bin"
set /a failed+=1
goto :eof

rem :program ARCH NAME runs one program, once more if it fails, and counts its cases.
:program
set /a found+=1
set "name=%1_%2"
set "left="
for %%s in (%skip%) do if /i "%%s"=="%2" set "left=1"
if defined left (
  echo %1 %2: left out
  goto :eof
)
set /a ran+=1
pushd "%results%"
echo %1 %2: running
"%kit%\%1\bin\%2.exe" --gtest_output=xml:%name%.xml >%name%.log 2>&1
set "code=%errorlevel%"
if "%code%"=="0" goto count
echo %1 %2: failed (exit code %code%), running it again
set /a rerun+=1
echo %name%>>reruns
move /y %name%.log %name%.first.log >nul
if exist %name%.xml move /y %name%.xml %name%.first.xml >nul
"%kit%\%1\bin\%2.exe" --gtest_output=xml:%name%.xml >%name%.log 2>&1
set "code=%errorlevel%"
:count
set /a tests=1, failures=1, skips=0
if exist %name%.xml goto read_results
echo %1 %2: left no results (it crashed or did not start)
goto counted
:read_results
rem The elements, not their attributes, whose order is GoogleTest's to change:
rem GoogleTest writes each on a line of its own. Only a line's first word is
rem looked at, in :element, since a message can hold anything.
set /a tests=0, failures=0
set "state="
for /f "usebackq tokens=1" %%w in ("%name%.xml") do (
  set "element=%%w"
  call :element
)
rem A program that ends badly after its cases passed has failed all the same.
if not "%code%"=="0" if %failures%==0 (
  echo %1 %2: exit code %code% after its test cases
  set /a failures=1
)
:counted
set /a passed+=tests-failures-skips, failed+=failures, skipped+=skips
popd
if "%code%"=="0" (
  echo %1 %2: passed
  goto :eof
)
echo %1 %2: FAILED, see results\%name%.log
findstr /l /b /c:"[  FAILED  ]" "%results%\%name%.log"
goto :eof

rem :element counts the test case, failure or skip that %element% opens. A case
rem with a failure has failed, even after a skip; else one with a skip is skipped.
rem The word's own quotes go first, so that every comparison stays quoted; the
rem leading "_" keeps Wine's cmd from reading a quoted "not" as its keyword.
:element
set "element=_%element:"=%"
if "%element%"=="_<testcase" set /a tests+=1
if "%element%"=="_<testcase" set "state=run"
if "%element%%state%"=="_<skippedrun" set /a skips+=1
if "%element%%state%"=="_<skippedrun" set "state=skipped"
if "%element%%state%"=="_<failureskipped" set /a skips-=1
if "%element%%state%"=="_<failureskipped" set "state=run"
if "%element%%state%"=="_<failurerun" set /a failures+=1
if "%element%%state%"=="_<failurerun" set "state=failed"
goto :eof
