// End-to-end test folder: one standing character whose frames can be counted in the log.
cfg_AppName <- "E2E Ticker";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;
cfg_WorldSizeY <- 5.0;
