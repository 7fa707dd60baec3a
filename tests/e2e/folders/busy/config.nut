// End-to-end test folder: a loop callback that never returns.
cfg_AppName <- "E2E Busy";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.25;
cfg_WindowMaskHeightScale <- 0.25;
cfg_WorldSizeY <- 5.0;
