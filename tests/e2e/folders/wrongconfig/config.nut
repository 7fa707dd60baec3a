// End-to-end test folder: a world size of the wrong type.
cfg_AppName <- "E2E Mascot";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.25;
cfg_WindowMaskHeightScale <- 0.25;
cfg_WorldSizeY <- "tall";
