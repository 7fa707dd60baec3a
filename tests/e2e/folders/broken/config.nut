// End-to-end test folder: a start-up script that does not compile.
cfg_AppName <- "E2E Broken";
cfg_StartupScript <- "startup.nut";
