// vek_Phong.fx: per-pixel Phong lighting for one point light per pass.
//
// The engine draws every object once per light: the first light through
// "vek_Phong" (opaque, with the ambient term), each further light through
// "vek_Phong_alpha", whose pass adds that light's contribution to what is
// already on screen. Both cull back faces: the models are left-handed, so
// their front faces run clockwise on screen. Parameters, all set by the
// engine before each draw:
//
//   View_Pos             eye position in world space (w = 1)
//   mat_World_View_Proj  object space to clip space
//   matWorld             object space to world space
//   LightPos             the light's position in world space (w = 1)
//   LightColor           the light's colour (rgb; a = 1)
//   LightFalloff         distance from the light at which it no longer lights anything
//   LightSpecular        sharpness of the highlight (the Phong exponent)
//   LightSpecular_Itens  strength of the highlight
//   LightAmbient         share of the surface colour shown without direct light
//   Attenuation          shape of the fall-off: the light's strength at distance d
//                        is (1 - d / LightFalloff) raised to this power
//
// The surface colour is the material's diffuse colour times texture stage 0.

uniform vec4  View_Pos;
uniform mat4  mat_World_View_Proj;
uniform mat4  matWorld;
uniform vec4  LightPos;
uniform vec4  LightColor;
uniform float LightFalloff;
uniform float LightSpecular;
uniform float LightSpecular_Itens;
uniform float LightAmbient;
uniform float Attenuation;

VARYING vec3 worldPos;
VARYING vec3 worldNormal;
VARYING vec2 texCoord;

// The surface colour at this point, and this light's diffuse and highlight on
// it. Shared text reaches both stages; only the fragment stages call these.
vec3 surfaceColor() { return MaterialDiffuse.rgb * texture(Texture0, texCoord).rgb; }

vec3 lightTerm(vec3 albedo) {
    vec3 toLight = LightPos.xyz - worldPos;
    float distance = length(toLight);
    float reach = clamp(1.0 - distance / max(LightFalloff, 1e-4), 0.0, 1.0);
    float strength = pow(reach, max(Attenuation, 0.0));
    vec3 n = normalize(worldNormal);
    vec3 l = toLight / max(distance, 1e-4);
    float lambert = max(dot(n, l), 0.0);
    vec3 v = normalize(View_Pos.xyz - worldPos);
    vec3 r = reflect(-l, n);
    float highlight = lambert > 0.0 ? pow(max(dot(r, v), 0.0), max(LightSpecular, 1.0)) : 0.0;
    return LightColor.rgb * strength * (albedo * lambert + LightSpecular_Itens * highlight);
}

vertex VS_Main {
    void main() {
        gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0);
        worldPos = (matWorld * vec4(inPosition, 1.0)).xyz;
        worldNormal = mat3(matWorld) * inNormal;
        texCoord = inTexCoord;
    }
}

// The first light: ambient plus the light, opaque.
fragment PS_Phong {
    out vec4 fragColor;
    void main() {
        vec3 albedo = surfaceColor();
        fragColor = vec4(albedo * LightAmbient + lightTerm(albedo), MaterialDiffuse.a);
    }
}

// A further light: its contribution alone, added by the blending of the pass.
fragment PS_Phong_Add {
    out vec4 fragColor;
    void main() { fragColor = vec4(lightTerm(surfaceColor()), 1.0); }
}

technique vek_Phong {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}

technique vek_Phong_alpha {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong_Add;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}
