// End-to-end test folder: one character standing still, logging the world's width when it changes.
cfg_AppName <- "E2E Work Area";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;
cfg_WorldSizeY <- 5.0;
