# Copies IN to OUT with CR LF line ends, as Windows programs such as
# Notepad expect of a text file: the readme in the Windows zip.
#   cmake -DIN=<file> -DOUT=<file> -P crlf.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
