@echo off
rem A list whose lines carry text of their own: the columns after the file name, split at
rem -listdelim, become the stamp's text (those -listusecol names, joined by -listsep), and
rem -liststartcol takes each document's first number from a column. Set QUILLMARK to the
rem program when it is not on the PATH.
setlocal
cd /d "%~dp0"
if "%QUILLMARK%"=="" set QUILLMARK=quillmark.exe
rem The work is done in out\, beside this script.
if not exist out mkdir out
cd out
for %%n in (a b) do copy /y ..\sample.pdf %%n.pdf > nul

rem Column 0 the file, 1 an account, 2 a client, 3 a box number.
> accounts.txt echo a.pdf,ACCOUNT 1234,Smith,Box 7
>> accounts.txt echo b.pdf,ACCOUNT 5678,Jones,Box 9
rem "ACCOUNT 1234 / Box 7" as the caption of every page; the client column is left out.
"%QUILLMARK%" -iaccounts.txt -faccounts -listdelim , -listusecol 1,3 -listsep " / " -nopg -sep "" -end "" -pos20,20
if errorlevel 1 exit /b 1

rem Bates numbers from the list: column 1 holds each document's first number, shown with six
rem digits and a prefix; the first line is a header row.
> bates.csv echo file,start
>> bates.csv echo a.pdf,100
>> bates.csv echo b.pdf,200
"%QUILLMARK%" -ibates.csv -fbates -listdelim , -liststartcol 1 -one -m6 -prefix "ABC" -sep "" -end "" -pos30,20 -fliph -align right -log bates-log.csv
if errorlevel 1 exit /b 1
echo list_complex.bat: the outputs are in %CD%
