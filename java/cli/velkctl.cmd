@echo off
rem velkctl: the operator's command line. Finds its jars and cmnexecutor.dll beside itself.
setlocal
set "HERE=%~dp0"
set "CP=%HERE%cmnexecutor-cli.jar;%HERE%cmnexecutor.jar;%HERE%picocli.jar;%HERE%gson.jar;%HERE%snakeyaml.jar"
if defined JAVA_HOME (set "JAVA=%JAVA_HOME%\bin\java") else (set "JAVA=java")
"%JAVA%" %VELKCTL_JAVA_OPTS% -Djava.library.path="%HERE%." -cp "%CP%" com.velk.internet.tz.velkctl.Velkctl %*
exit /b %ERRORLEVEL%
