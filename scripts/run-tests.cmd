@echo off
rem SPDX-FileCopyrightText: the Installer utilities authors
rem SPDX-License-Identifier: MIT
rem run-tests.cmd [x86] [x64] [/skip:PROGRAM]...: the kit's test programs against
rem its images (x64 on 64-bit Windows, x86 wherever a 32-bit program starts), each
rem leaving GoogleTest's results\ARCH_PROGRAM.xml and its output in .log. The last
rem line is "N passed, N failed", counting programs by their exit codes; any
rem failure, or no program run at all, exits 1. No delayed expansion (it eats the
rem "!" of "a kit! here") and, for Wine's cmd, no nested blocks.
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
set /a passed=0, failed=0
for %%a in (%arches%) do call :architecture %%a
set /a ran=passed+failed
if %ran%==0 echo no test program ran: nothing was tested
if %ran%==0 set /a failed=1
echo %passed% passed, %failed% failed
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
rem Listed from inside the folder: Wine's cmd matches no quoted wildcard path.
pushd "%kit%\%1\bin"
for %%p in (*_tests.exe) do call :program %1 %%~np
popd
goto :eof

rem :program ARCH NAME runs one program; GoogleTest's exit code says whether all its cases passed.
:program
for %%s in (%skip%) do if /i "%%s"=="%2" goto left_out
pushd "%results%"
echo %1 %2: running
"%kit%\%1\bin\%2.exe" --gtest_output=xml:%1_%2.xml >%1_%2.log 2>&1
set "code=%errorlevel%"
popd
if "%code%"=="0" goto program_passed
set /a failed+=1
echo %1 %2: FAILED with exit code %code%, see results\%1_%2.log
findstr /l /b /c:"[  FAILED  ]" "%results%\%1_%2.log"
goto :eof
:program_passed
set /a passed+=1
echo %1 %2: passed
goto :eof
:left_out
echo %1 %2: left out
goto :eof
